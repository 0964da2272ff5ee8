#pragma once

// MVServer: the application object of the backup server. It owns what
// outlives a single job: the registered clients, the job queue and its index,
// the catalogue list and the report server looper. Clients talk to it only
// by messages (ServerProtocol.h); it answers by reply or by sending a message
// to every registered client.
//
// Threads: every member function runs on the application thread, from the
// message handlers and Pulse(), so the server's state needs no lock. The
// report server and the job workers are loopers of their own and reach that
// state only by messages.
//
// Lifetime: the server lives while at least one client is registered: the
// first pulse that finds none quits it, unless it runs as a daemon. Quit()
// quits the report server first, then ends Run(); the object itself belongs
// to its creator. Job records are heap messages owned by the server.
//
// Jobs: a job's worker is made by the factory of the settings when the job
// starts; it runs as a looper of its own and deletes itself when it quits.
// Every change of the queue that must outlive the process saves the job
// list file at once (MVJobListFile.h).
//
// Clients: a client registers with its team id. The server reaches it through
// its client link and drops it at the first pulse after its team has ended.
//
// Log: start-up failures, client registrations and the reasons for quitting
// go to the log of the settings. While the server exists, every alert of the
// process is written to that log as well.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <app/Application.h>
#include <app/Message.h>
#include <interface/Alert.h>
#include <storage/NodeRef.h>

#include "MVServerSettings.h"

class AddOnLoader;
class BEntry;
class MVClientLink;
class MVLocale;
class MVReportServer;
class MVServerLog;
class MVVolumeOrg;

class MVServer : public BApplication {
public:
	static constexpr const char* kLocaleAppID = "morvane backup locale";
	static constexpr const char* kCatalogueFolderName = "logdata";
	static constexpr const char* kStreamerDataFolder = "add-ons/destination/streamer_data";
	// A client that does not take a message within this time misses it,
	// so that one hanging client cannot stop the server.
	static constexpr bigtime_t kClientSendTimeout = 5000000;
	static constexpr size_t kOpenCatalogueNameSize = 32;

	explicit MVServer(const MVServerSettings& settings);
	~MVServer() override;

	void MessageReceived(BMessage* message) override;
	void Pulse() override;
	void Quit() override;

	// The client registry. A team is registered once; every job record
	// names every registered client in its "client_id" array.
	void AddClient(team_id team);
	void RemClient(team_id team);
	// Sends the message to every registered client in registration order;
	// clients that cannot be reached are skipped.
	void PostClients(BMessage* message);
	// Sends the message to the worker of the job that its "job_id" names.
	// False when it names no job, the job has no live worker, or the worker
	// does not take the message. The worker's replies go where replies to
	// the message would have gone; a sender that waits for one gets
	// B_NO_REPLY, though, as the message it waits on ends here.
	bool PostToolServer(BMessage* message);

	// The job queue. Job ids are never 0.
	BMessage* FindJob(int32 jobId) const;
	[[nodiscard]] int32 JobAdd(BMessage* request);
	void JobInserted(int32 jobId);
	void JobChanged(int32 jobId);
	void JobRemoved(int32 jobId);
	bool JobRem(int32 jobId);
	bool JobAbort(int32 jobId);
	void JobStart(int32 jobId);
	bool JobPause(int32 jobId);
	bool JobContinue(int32 jobId);
	bool JobRestart(int32 jobId);
	// For backup jobs: the selection of the base job and the time after
	// which changed files are saved ("archive_time").
	void PrepareBackupJob(BMessage* record);
	void JobEdit(int32 jobId, int32 edit);
	void JobReplace(BMessage* request);
	void JobSubscribe(BMessage* request);
	// A copy of the job index without "user".
	void JobList(BMessage* reply) const;
	// 0 written; 1 folder not usable; 2 file not created; 3 header not
	// written; 4 contents not written.
	[[nodiscard]] int32 SaveJobList();
	// 0 read; 1 no file; 2 header short; 3 wrong magic; 4 contents unreadable.
	[[nodiscard]] int32 LoadJobList();

	// The catalogue registry: one slot per file of the catalogue folder
	// (CatalogueList.h), kept in step with the folder by node monitoring.
	// Appends a slot for the file, read from its attributes once no one
	// holds the file's lock. False when the file cannot be opened or its
	// slot is already there.
	bool LogAddToList(const BEntry& entry);
	// LogAddToList, then tells the clients of the new slot.
	void LogAddListEntry(const BEntry& entry);
	void LogInserted(int32 slot);
	// Tells the clients, then removes the slot with all its values.
	void LogRemListEntry(int32 slot);
	void LogUpdateList(BMessage* message);
	// Browses "/" (the list) or "/<catalogue>[/<entry path>]" with a
	// CatalogueBrowser::Mode; an unknown or unusable path adds nothing.
	void LogReadDir(const char* path, BMessage* reply, int32 startIndex, int32 mode);
	// Appends the browse entry of a position of the open catalogue.
	bool GetLogEntry(int32 position, BMessage* reply) const;
	void LogPWCheck(BMessage* request, BMessage* reply);
	BMessage VolumeScan(const char* addOnName, const BMessage* settings);
	void DeleteBackups(BMessage* request);
	// Deletes the reports of a job whose backup went away, when the
	// report server's rule says so. Waits for the report server.
	void RemoveReport(int32 jobId);

private:
	// Tests look at the server's state through it.
	friend class MVServerTester;

	void _SetUpLocale();
	void _StartReportServer();
	void _QuitReportServer();
	void _LoadJobs();
	void _CreateFolders();
	void _LoadCatalogueList();
	void _WatchCatalogueFolder();
	std::string _CataloguePath(const char* name) const;
	bool _IsCatalogueFolder(int64 directory) const;
	void _CatalogueRemoved(BMessage* message);
	void _CatalogueMoved(BMessage* message);
	bool _OpenCatalogue(const char* name);
	[[nodiscard]] bool _GetAddOnLoader(AddOnLoader* loader) const;
	void _DeleteOnDestination(const char* name);

	void _HandleClientMessage(BMessage* message);
	void _HandleJobAdd(BMessage* message);
	void _HandleJobGet(BMessage* message);
	void _HandleJobDelete(BMessage* message);
	void _HandleJobFinished(BMessage* message);
	void _HandleLogRead(BMessage* message);
	void _HandlePasswordCheck(BMessage* message);
	void _HandleVolumeScan(BMessage* message);
	void _HandleDeleteBackups(BMessage* message);
	void _PassToReportServer(BMessage* message);
	void _BroadcastReportNews(BMessage* message);

	int32 _Now() const;
	int32 _NewJobId() const;
	int32 _JobState(int32 slot) const;
	void _SetJobState(int32 slot, int32 state, int32 oldState);
	void _SetJobDate(int32 slot, int32 date);
	void _SetJobWorker(int32 slot, const BMessenger& worker);
	void _RemoveJobSlot(int32 slot);
	void _SaveJobs();
	void _PostJobEntry(uint32 what, int32 jobId, bool withOldState);
	BMessenger _StartWorker(int32 jobType, const BMessage& record);
	void _AskForReport(BMessage* notice, BMessage* record);
	void _AskClientsForViews(BMessage* notice, BMessage* subscription, BMessage* record);

	void _DropEndedClients();
	bool _StaysWithoutClients();
	void _StartDueJobs();

	bool _IsClient(team_id team) const;
	int32 _CountJobSlots() const;
	int32 _JobSlot(int32 jobId) const;
	BMessenger _WorkerOf(int32 jobId) const;
	static int32 _JobIdOf(const BMessage* message);
	// Sends a copy of message to target; replies to it go where replies
	// to the original would have gone.
	static status_t _Forward(const BMessenger& target, BMessage* message);
	void _Log(const char* format, ...) __attribute__((format(printf, 2, 3)));

	MVReportServer* fReportServer = nullptr;
	BMessenger fReportMessenger;
	std::vector<team_id> fClients;
	std::vector<std::unique_ptr<BMessage>> fJobs;
	BMessage fJobIndex;
	std::string fCatalogueDirectory;
	char fOpenCatalogueName[kOpenCatalogueNameSize];
	node_ref fCatalogueFolderNode;
	std::unique_ptr<BMessage> fCatalogueList;
	MVLocale* fLocale = nullptr;
	BMessage fOpenCatalogue;

	std::string fProgramFolder;
	bool fDaemon;
	std::function<BLooper*(int32 jobType, const BMessage& job)> fWorkerFactory;
	std::function<int32()> fClock;
	bool fToldAlone = false;
	MVClientLink* fClientLink;
	std::unique_ptr<MVClientLink> fRosterLink;
	MVServerLog* fLog;
	std::unique_ptr<MVServerLog> fStandardErrorLog;
	BAlert::LogSink fPreviousAlertSink;
};
