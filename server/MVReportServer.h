#pragma once

// MVReportServer: the looper that keeps the reports of the jobs. It creates
// a report when a job starts ('rpNW', answered at once), appends the lines
// the job's worker sends (it is the first subscriber of every job), passes
// them on live to the report's viewers, stores the report as a file in the
// "report" folder when the job ends, lists, delivers and deletes stored
// reports, prunes them by the rule in "report.prefs" every minute, and keeps
// its list in step with the folder, so that a file removed by hand leaves
// the list. A report that cannot be written (a full disk) is logged and kept
// in memory, listed and deliverable, and written again at every pulse and
// before the next report is stored, until it is written or the server quits.
//
// Lifetime: the server application creates and runs it at start and quits
// it (under its lock) when it quits itself; as a running looper it then
// deletes itself. Threads: all report state is touched on its own thread
// only; the constructor reads the folder before Run().
//
// Clients (the GUI programs) are told of changes ('rpIN', 'rpRM', 'rpDC')
// through the notifier: by default every running application with the GUI's
// signature; the server or a test may route them elsewhere before Run().
//
// The report server never waits for the application or a client: viewers
// and clients get their messages through outboxes (a viewer that does not
// take them is dropped), and an area handed to a viewer is released by the
// viewer's reply or, without one, after kAreaLifetime.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <app/Looper.h>
#include <app/Message.h>
#include <storage/NodeRef.h>

#include "RecipientList.h"
#include "ReportListEntry.h"
#include "ReportPrunePolicy.h"

class MVPulseUtil;
class MVServerLog;

class MVReportServer : public BLooper {
public:
	static constexpr const char* kName = "MVReportServer";
	static constexpr int32 kPriority = 10;
	static constexpr int32 kPortCapacity = 100;
	static constexpr const char* kFolderName = "report";

	// Sent to clients: a report was added ("report_id", "job_id", "title",
	// "job_type", "date"), removed ("report_id"), or the pruning rule
	// changed ("mode", "days", "count", "overwrite").
	static constexpr uint32 kMsgReportInserted = 'rpIN';
	static constexpr uint32 kMsgReportRemoved = 'rpRM';
	static constexpr uint32 kMsgPolicy = 'rpDC';
	// The pulse helper's tick: apply the pruning rule.
	static constexpr uint32 kMsgPrune = 'rppu';
	static constexpr bigtime_t kPruneInterval = 60000000;
	// A delivery area that no viewer acknowledged is deleted at the first
	// prune after this time.
	static constexpr bigtime_t kAreaLifetime = 60000000;

	using Notifier = std::function<void(const BMessage& message)>;

	// serverFolder: the system path of the folder that holds "report" and
	// "report.prefs"; null for the folder of the running program.
	explicit MVReportServer(const char* serverFolder = nullptr);
	~MVReportServer() override;

	// Starts the looper, the pulse helper and the watch of the folder.
	thread_id Run() override;
	void MessageReceived(BMessage* message) override;

	// Before Run() only.
	void SetNotifier(Notifier notifier) { fNotifier = std::move(notifier); }
	// Before Run() only; 0 runs no pulse helper (a test prunes by hand).
	void SetPruneInterval(bigtime_t interval) { fPruneInterval = interval; }
	void SetAreaThreshold(size_t threshold) { fAreaThreshold = threshold; }
	// Before Run() only; the log must outlive the looper. Null logs nothing.
	void SetLog(MVServerLog* log) { fLog = log; }

	const std::string& Folder() const { return fFolder; }

	// The report id formula of the job ids: 1000 * (10000 * day of the year
	// + seconds of the minute) + rand(), in 32-bit arithmetic.
	static int32 CreateID(time_t now);

private:
	struct OpenReport {
		BMessage report;
		RecipientList viewers;
	};
	struct PendingArea;

	void _CreateReport(BMessage* message);
	void _AddLine(BMessage* message);
	void _StoreReport(BMessage* message);
	status_t _WriteReport(const BMessage& report);
	void _WriteUnwrittenReports();
	void _KeepUnwritten(BMessage report, status_t status);
	void _PutEntry(const ReportListEntry& entry);
	void _OpenReport(BMessage* message);
	void _CloseReport(BMessage* message);
	void _SendList(BMessage* message);
	void _SendPolicy(BMessage* message);
	void _SetPolicy(BMessage* message);
	void _DeleteReports(BMessage* message);
	void _Prune();
	void _FolderChanged(BMessage* message);
	void _AreaAcknowledged(BMessage* message);

	void _LoadList();
	void _AddEntryFromFile(const char* name);
	void _RemoveEntry(int32 reportID);
	bool _DeleteReport(int32 reportID);
	int32 _IndexOf(int32 reportID) const;
	int32 _IndexOfNode(int64 node) const;
	int32 _NewReportID() const;
	void _Deliver(const BMessage& report, const BMessenger& viewer, BMessage* request,
		RecipientList* viewers = nullptr);
	void _ReleaseExpiredAreas();
	void _TellClients(const BMessage& message);
	std::string _PathOf(int32 reportID) const;
	std::string _PolicyPath() const;

	std::string fServerFolder;
	std::string fFolder;
	node_ref fFolderRef;
	int64 fFolderNode = -1;
	ReportPrunePolicy fPolicy;
	std::vector<ReportListEntry> fList;
	std::map<int32, OpenReport> fOpen;
	// Ended jobs' reports that could not be written yet, by report id.
	std::map<int32, BMessage> fUnwritten;
	std::vector<std::unique_ptr<PendingArea>> fAreas;
	std::unique_ptr<MVPulseUtil> fPulse;
	Notifier fNotifier;
	MVServerLog* fLog = nullptr;
	bigtime_t fPruneInterval = kPruneInterval;
	size_t fAreaThreshold;
	bool fWatching = false;
};
