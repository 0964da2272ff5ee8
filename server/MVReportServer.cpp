#include "MVReportServer.h"

#include <cstdlib>
#include <ctime>

#include <app/Roster.h>
#include <storage/AtomicFileWriter.h>
#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/NodeMonitor.h>
#include <support/TypeConstants.h>

#include "MVPulseUtil.h"
#include "MessageOutbox.h"
#include "MVReportLine.h"
#include "MVServerLog.h"
#include "ProgramFolder.h"
#include "ReportDelivery.h"
#include "ReportFile.h"
#include "ServerProtocol.h"

namespace {

constexpr int32 kFirstProgressLineType = 100;

} // namespace

// An area handed to a viewer, and the handler that the viewer's reply
// reaches. The reply deletes the area; the handler itself is dropped later
// by the report server, never from inside its own dispatch.
struct MVReportServer::PendingArea : public BHandler {
	PendingArea(area_id newArea)
		:
		BHandler("report area"),
		area(newArea),
		created(system_time())
	{
	}

	~PendingArea() override
	{
		Release();
	}

	void MessageReceived(BMessage* message) override
	{
		Release();
	}

	void Release()
	{
		if (area >= 0)
			(void)delete_area(area);
		area = -1;
	}

	area_id area;
	bigtime_t created;
};

MVReportServer::MVReportServer(const char* serverFolder)
	:
	BLooper(kName, kPriority, kPortCapacity),
	fAreaThreshold(ReportDelivery::kAreaThreshold)
{
	if (serverFolder != nullptr)
		fServerFolder = serverFolder;
	else if (GetProgramFolder(&fServerFolder) != B_OK)
		fServerFolder.clear();
	if (fServerFolder.empty())
		return;
	fFolder = fServerFolder + "/" + kFolderName;
	// An existing folder stays as it is; a missing one that cannot be made
	// leaves the store empty, and reports of jobs cannot be kept.
	(void)create_directory(fFolder.c_str(), 0777);
	// Reports a server killed while writing them left half-written.
	(void)AtomicFileWriter::RemoveStaleTemporaries(fFolder.c_str());
	fPolicy = ReportPrunePolicy::Load(_PolicyPath().c_str());
	BDirectory folder(fFolder.c_str());
	if (folder.InitCheck() == B_OK && folder.GetNodeRef(&fFolderRef) == B_OK)
		fFolderNode = int64(fFolderRef.node);
	_LoadList();
}

MVReportServer::~MVReportServer()
{
	fPulse.reset();
	_WriteUnwrittenReports();
	if (fLog != nullptr && !fUnwritten.empty())
		fLog->Log("%zu report(s) could not be written and are lost.", fUnwritten.size());
	if (fWatching)
		(void)stop_watching(BMessenger(this));
	for (std::unique_ptr<PendingArea>& pending : fAreas)
		RemoveHandler(pending.get());
	fAreas.clear();
}

thread_id MVReportServer::Run()
{
	thread_id thread = BLooper::Run();
	if (thread < 0)
		return thread;
	if (fFolderNode >= 0)
		fWatching = watch_node(&fFolderRef, B_WATCH_DIRECTORY, BMessenger(this)) == B_OK;
	if (fPruneInterval > 0)
		fPulse = std::make_unique<MVPulseUtil>(int32(fPruneInterval), kMsgPrune, this);
	return thread;
}

void MVReportServer::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kMsgReportNew:
			_CreateReport(message);
			break;
		case kMsgJobProgress:
		case kMsgReportLine:
			_AddLine(message);
			break;
		case kMsgJobFinished:
			_StoreReport(message);
			break;
		case kMsgReportOpen:
			_OpenReport(message);
			break;
		case kMsgReportClose:
			_CloseReport(message);
			break;
		case kMsgReportGetList:
			_SendList(message);
			break;
		case kMsgReportGetPolicy:
			_SendPolicy(message);
			break;
		case kMsgReportSetPolicy:
			_SetPolicy(message);
			break;
		case kMsgReportDelete:
			_DeleteReports(message);
			break;
		case kMsgPrune:
			_Prune();
			break;
		case B_NODE_MONITOR:
			_FolderChanged(message);
			break;
		default:
			BLooper::MessageReceived(message);
	}
}

// #pragma mark - reports of running jobs

int32 MVReportServer::CreateID(time_t now)
{
	struct tm local;
	localtime_r(&now, &local);
	uint32 id = 1000u * (10000u * uint32(local.tm_yday) + uint32(local.tm_sec))
		+ uint32(rand());
	return int32(id);
}

int32 MVReportServer::_NewReportID() const
{
	// The formula can repeat itself; an id in use would mix two jobs'
	// reports in one file.
	while (true) {
		int32 id = CreateID(time(nullptr));
		if (id == 0 || _IndexOf(id) >= 0 || fOpen.count(id) != 0)
			continue;
		if (!fFolder.empty() && BEntry(_PathOf(id).c_str()).Exists())
			continue;
		return id;
	}
}

void MVReportServer::_CreateReport(BMessage* message)
{
	int32 reportID = _NewReportID();
	int32 date = 0;
	(void)message->FindTime("date", &date);
	OpenReport open;
	open.report.AddInt32("report_id", reportID);
	open.report.AddInt32("job_id", message->GetInt32("job_id", 0));
	open.report.AddString("title", message->GetString("title", ""));
	open.report.AddInt32("job_type", message->GetInt32("job_type", 0));
	open.report.AddTime("date", date);

	BMessage inserted(kMsgReportInserted);
	inserted.AddInt32("report_id", reportID);
	inserted.AddInt32("job_id", open.report.GetInt32("job_id", 0));
	inserted.AddString("title", open.report.GetString("title", ""));
	inserted.AddInt32("job_type", open.report.GetInt32("job_type", 0));
	inserted.AddTime("date", date);
	fOpen.emplace(reportID, std::move(open));

	BMessage reply(B_REPLY);
	reply.AddInt32("report_id", reportID);
	(void)message->SendReply(&reply);
	_TellClients(inserted);
}

void MVReportServer::_AddLine(BMessage* message)
{
	int32 lineType = message->GetInt32("linetype", kFirstProgressLineType);
	if (lineType >= kFirstProgressLineType)
		return;
	// Lines that come after their report was stored are dropped: the stored
	// file is what every viewer has been shown.
	auto open = fOpen.find(message->GetInt32("report_id", 0));
	if (open == fOpen.end())
		return;
	const void* data = nullptr;
	ssize_t size = 0;
	if (message->FindData("reportline", MVReportLine::kTypeCode, &data, &size) != B_OK)
		return;
	MVReportLine check;
	if (check.Unflatten(data, size_t(size)) != B_OK)
		return;
	int32 textID = message->GetInt32("text_id", 0);
	// The line first: when it cannot be added, the parallel arrays stay
	// in step.
	BMessage& report = open->second.report;
	if (report.AddData("reportline", MVReportLine::kTypeCode, data, size, false) != B_OK)
		return;
	report.AddInt32("linetype", lineType);
	report.AddInt32("text_id", textID);

	BMessage line(kMsgReportLine);
	line.AddInt32("report_id", open->first);
	line.AddInt32("linetype", lineType);
	line.AddInt32("text_id", textID);
	line.AddData("reportline", MVReportLine::kTypeCode, data, size, false);
	open->second.viewers.Send(line);
}

void MVReportServer::_StoreReport(BMessage* message)
{
	auto open = fOpen.find(message->GetInt32("report_id", 0));
	if (open == fOpen.end())
		return;
	BMessage report = std::move(open->second.report);
	fOpen.erase(open);
	// Older reports first, so that they keep their order on disk.
	_WriteUnwrittenReports();
	status_t status = _WriteReport(report);
	if (status != B_OK)
		_KeepUnwritten(std::move(report), status);
}

status_t MVReportServer::_WriteReport(const BMessage& report)
{
	if (fFolder.empty())
		return B_NO_INIT;
	ReportListEntry entry;
	status_t status = ReportFile::Write(fFolder, report, &entry);
	if (status == B_OK)
		_PutEntry(entry);
	return status;
}

void MVReportServer::_KeepUnwritten(BMessage report, status_t status)
{
	ReportListEntry entry;
	entry.reportID = report.GetInt32("report_id", 0);
	entry.jobID = report.GetInt32("job_id", 0);
	entry.jobType = report.GetInt32("job_type", 0);
	entry.title = report.GetString("title", "");
	(void)report.FindTime("date", &entry.date);
	if (fLog != nullptr) {
		fLog->Log("The report %s of job %d cannot be written to %s: %s; it is kept "
			"in memory until it can be.", ReportFile::Name(entry.reportID).c_str(), int(entry.jobID),
			fFolder.c_str(), strerror_status(status));
	}
	_PutEntry(entry);
	fUnwritten[entry.reportID] = std::move(report);
}

void MVReportServer::_WriteUnwrittenReports()
{
	for (auto it = fUnwritten.begin(); it != fUnwritten.end();) {
		if (_WriteReport(it->second) != B_OK)
			return;
		if (fLog != nullptr) {
			fLog->Log("The report %s is written now.",
				ReportFile::Name(it->first).c_str());
		}
		it = fUnwritten.erase(it);
	}
}

void MVReportServer::_PutEntry(const ReportListEntry& entry)
{
	int32 index = _IndexOf(entry.reportID);
	if (index >= 0)
		fList[index] = entry;
	else
		fList.push_back(entry);
}

// #pragma mark - viewers

void MVReportServer::_OpenReport(BMessage* message)
{
	int32 reportID = message->GetInt32("report_id", 0);
	BMessenger viewer;
	(void)message->FindMessenger("user", &viewer);
	auto open = fOpen.find(reportID);
	if (open != fOpen.end()) {
		(void)open->second.viewers.Add(viewer);
		_Deliver(open->second.report, viewer, message, &open->second.viewers);
		return;
	}
	auto unwritten = fUnwritten.find(reportID);
	if (unwritten != fUnwritten.end()) {
		_Deliver(unwritten->second, viewer, message);
		return;
	}
	if (_IndexOf(reportID) < 0)
		return;
	BMessage report;
	if (ReportFile::ReadReport(_PathOf(reportID), &report) != B_OK)
		return;
	_Deliver(report, viewer, message);
}

// A viewer of a running job's report gets the report so far before the
// lines that follow it, through the same outbox.
void MVReportServer::_Deliver(const BMessage& report, const BMessenger& viewer,
	BMessage* request, RecipientList* viewers)
{
	_ReleaseExpiredAreas();
	BMessage delivery;
	area_id area;
	if (ReportDelivery::Build(report, fAreaThreshold, &delivery, &area) != B_OK)
		return;
	BMessenger replyTo;
	if (area >= 0) {
		fAreas.push_back(std::make_unique<PendingArea>(area));
		AddHandler(fAreas.back().get());
		replyTo = BMessenger(fAreas.back().get(), this);
	}
	if (viewer.IsValid()) {
		RecipientList once;
		(void)(viewers != nullptr ? viewers : &once)->SendTo(viewer, delivery, replyTo);
	} else if (request->IsSourceWaiting() || request->ReturnAddress().IsValid())
		(void)request->SendReply(&delivery, replyTo);
}

void MVReportServer::_CloseReport(BMessage* message)
{
	auto open = fOpen.find(message->GetInt32("report_id", 0));
	BMessenger viewer;
	if (open == fOpen.end() || message->FindMessenger("user", &viewer) != B_OK)
		return;
	(void)open->second.viewers.Remove(viewer);
}

void MVReportServer::_ReleaseExpiredAreas()
{
	bigtime_t now = system_time();
	for (size_t i = 0; i < fAreas.size();) {
		PendingArea* pending = fAreas[i].get();
		if (pending->area >= 0 && now - pending->created < kAreaLifetime) {
			i++;
			continue;
		}
		RemoveHandler(pending);
		fAreas.erase(fAreas.begin() + i);
	}
}

// #pragma mark - the list

void MVReportServer::_SendList(BMessage* message)
{
	BMessage list(B_REPLY);
	for (const ReportListEntry& entry : fList) {
		list.AddInt32("report_id", entry.reportID);
		list.AddInt32("job_id", entry.jobID);
		list.AddString("title", entry.title);
		list.AddInt32("job_type", entry.jobType);
		list.AddTime("date", entry.date);
	}
	(void)message->SendReply(&list);
}

void MVReportServer::_LoadList()
{
	BDirectory folder(fFolder.c_str());
	if (folder.InitCheck() != B_OK)
		return;
	BEntry entry;
	while (folder.GetNextEntry(&entry) == B_OK) {
		char name[B_FILE_NAME_LENGTH];
		if (entry.GetName(name) == B_OK)
			_AddEntryFromFile(name);
	}
}

void MVReportServer::_AddEntryFromFile(const char* name)
{
	int32 reportID;
	if (!ReportFile::ParseName(name, &reportID))
		return;
	ReportListEntry entry;
	// A file that cannot be read is left out, and left where it is.
	if (ReportFile::ReadEntry(fFolder + "/" + name, &entry) != B_OK)
		return;
	// The name decides: a file copied under another name keeps the id of
	// its attributes, which would make two slots of one id.
	entry.reportID = reportID;
	_PutEntry(entry);
}

int32 MVReportServer::_IndexOf(int32 reportID) const
{
	for (size_t i = 0; i < fList.size(); i++) {
		if (fList[i].reportID == reportID)
			return int32(i);
	}
	return -1;
}

int32 MVReportServer::_IndexOfNode(int64 node) const
{
	for (size_t i = 0; i < fList.size(); i++) {
		if (node != 0 && fList[i].node == node)
			return int32(i);
	}
	return -1;
}

void MVReportServer::_RemoveEntry(int32 reportID)
{
	int32 index = _IndexOf(reportID);
	if (index < 0)
		return;
	fList.erase(fList.begin() + index);
	BMessage removed(kMsgReportRemoved);
	removed.AddInt32("report_id", reportID);
	_TellClients(removed);
}

bool MVReportServer::_DeleteReport(int32 reportID)
{
	if (_IndexOf(reportID) < 0)
		return false;
	fUnwritten.erase(reportID);
	BEntry entry(_PathOf(reportID).c_str());
	if (entry.Exists() && entry.Remove() != B_OK)
		return false;
	_RemoveEntry(reportID);
	return true;
}

void MVReportServer::_DeleteReports(BMessage* message)
{
	int32 reportID;
	for (int32 i = 0; message->FindInt32("report_id", i, &reportID) == B_OK; i++)
		(void)_DeleteReport(reportID);
	int32 jobID;
	if (message->FindInt32("job_id", &jobID) != B_OK)
		return;
	std::vector<int32> ofJob;
	for (const ReportListEntry& entry : fList) {
		if (entry.jobID == jobID)
			ofJob.push_back(entry.reportID);
	}
	for (int32 id : ofJob)
		(void)_DeleteReport(id);
}

void MVReportServer::_Prune()
{
	_ReleaseExpiredAreas();
	_WriteUnwrittenReports();
	for (int32 reportID : fPolicy.Select(fList, time(nullptr)))
		(void)_DeleteReport(reportID);
}

void MVReportServer::_FolderChanged(BMessage* message)
{
	int32 opcode = message->GetInt32("opcode", 0);
	const char* name = message->GetString("name", nullptr);
	int32 reportID;
	switch (opcode) {
		case B_ENTRY_CREATED:
			if (name != nullptr && ReportFile::ParseName(name, &reportID)
				&& _IndexOf(reportID) < 0 && !fOpen.count(reportID)) {
				_AddEntryFromFile(name);
				if (_IndexOf(reportID) >= 0) {
					const ReportListEntry& entry = fList[_IndexOf(reportID)];
					BMessage inserted(kMsgReportInserted);
					inserted.AddInt32("report_id", entry.reportID);
					inserted.AddInt32("job_id", entry.jobID);
					inserted.AddString("title", entry.title);
					inserted.AddInt32("job_type", entry.jobType);
					inserted.AddTime("date", entry.date);
					_TellClients(inserted);
				}
			}
			break;
		case B_ENTRY_REMOVED: {
			int32 index = -1;
			if (name != nullptr && ReportFile::ParseName(name, &reportID))
				index = _IndexOf(reportID);
			else
				index = _IndexOfNode(message->GetInt64("node", 0));
			// A file replaced under the same name is still there.
			if (index >= 0 && !BEntry(_PathOf(fList[index].reportID).c_str()).Exists())
				_RemoveEntry(fList[index].reportID);
			break;
		}
		case B_ENTRY_MOVED: {
			const char* fromName = message->GetString("from name", nullptr);
			if (fromName != nullptr && ReportFile::ParseName(fromName, &reportID)
				&& _IndexOf(reportID) >= 0 && !BEntry(_PathOf(reportID).c_str()).Exists())
				_RemoveEntry(reportID);
			if (message->GetInt64("to directory", -1) == fFolderNode) {
				BMessage created(*message);
				created.ReplaceInt32("opcode", B_ENTRY_CREATED);
				_FolderChanged(&created);
			}
			break;
		}
		default:
			break;
	}
}

// #pragma mark - the pruning rule

void MVReportServer::_SendPolicy(BMessage* message)
{
	BMessage reply(kMsgPolicy);
	fPolicy.AddTo(&reply);
	(void)message->SendReply(&reply);
}

void MVReportServer::_SetPolicy(BMessage* message)
{
	ReportPrunePolicy policy = fPolicy.With(*message);
	if (!fServerFolder.empty() && policy.Save(_PolicyPath().c_str()) != B_OK)
		return;
	fPolicy = policy;
	BMessage changed(kMsgPolicy);
	fPolicy.AddTo(&changed);
	_TellClients(changed);
}

// #pragma mark - helpers

void MVReportServer::_TellClients(const BMessage& message)
{
	if (fNotifier) {
		fNotifier(message);
		return;
	}
	std::vector<team_id> teams;
	be_roster->GetAppList(kBackupSignature, &teams);
	for (team_id team : teams) {
		BMessenger client(nullptr, team);
		if (client.IsValid())
			MessageOutbox::SendWithoutWaiting(client, message);
	}
}

std::string MVReportServer::_PathOf(int32 reportID) const
{
	return fFolder + "/" + ReportFile::Name(reportID);
}

std::string MVReportServer::_PolicyPath() const
{
	return fServerFolder + "/" + ReportPrunePolicy::kFileName;
}
