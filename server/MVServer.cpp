#include "MVServer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/NodeMonitor.h>

#include <MVDefaultTexts.h>
#include <MVLocale.h>

#include "CatalogueList.h"
#include "MVReportServer.h"
#include "MVRosterClientLink.h"
#include "MVServerLog.h"
#include "ServerProtocol.h"

namespace {

constexpr size_t kListCapacity = 20;

}	// namespace

MVServer::MVServer(const MVServerSettings& settings)
	:
	BApplication(kServerSignature),
	fProgramFolder(settings.programFolder),
	fDaemon(settings.daemon),
	fWorkerFactory(settings.workerFactory),
	fClock(settings.clock),
	fClientLink(settings.clientLink),
	fLog(settings.log)
{
	if (fLog == nullptr) {
		fStandardErrorLog = std::make_unique<MVServerLog>(nullptr);
		fLog = fStandardErrorLog.get();
	}
	if (fClientLink == nullptr) {
		fRosterLink = std::make_unique<MVRosterClientLink>();
		fClientLink = fRosterLink.get();
	}
	MVServerLog* log = fLog;
	fPreviousAlertSink = BAlert::SetLogSink([log](const char* line) { log->LogText(line); });
	fClients.reserve(kListCapacity);
	fJobs.reserve(kListCapacity);
	fOpenCatalogueName[0] = '\0';

	_SetUpLocale();
	_StartReportServer();
	_LoadJobs();
	SetPulseRate(settings.pulseRate);
	// Job ids are drawn from the C generator.
	srand(unsigned(time(nullptr)));
	_CreateFolders();
	_LoadCatalogueList();
	_WatchCatalogueFolder();
	fOpenCatalogueName[0] = '\0';
}

MVServer::~MVServer()
{
	fCatalogueDirectory.clear();
	// Fails harmlessly when nothing was watched.
	(void)stop_watching(BMessenger(this));
	// A server destroyed without quitting still ends its report server.
	_QuitReportServer();
	BAlert::SetLogSink(fPreviousAlertSink);
}

void MVServer::_SetUpLocale()
{
	fLocale = MVLocale::GetInstance();
	fLocale->SetAppID(kLocaleAppID);
	// The entries after the installed texts are the schedule's field
	// names, which are never translated.
	fLocale->SetDefaultText(kDefaultTexts, kInstalledTextCount, MVLocale::kEnglish);
}

void MVServer::_StartReportServer()
{
	fReportServer = new MVReportServer(fProgramFolder.c_str());
	// The report server cannot see the client list; its news for the
	// clients come back here to be broadcast from the application thread.
	BMessenger application(this);
	fReportServer->SetNotifier([application](const BMessage& notice) {
		BMessage broadcast(kMsgBroadcastReportNews);
		broadcast.AddMessage("message", &notice);
		(void)application.SendMessage(&broadcast);
	});
	thread_id thread = fReportServer->Run();
	if (thread < 0) {
		_Log("The report server cannot be started: %s", strerror_status(thread));
		return;
	}
	fReportMessenger = BMessenger(fReportServer);
}

void MVServer::_BroadcastReportNews(BMessage* message)
{
	// Only the report server of this process may have its news broadcast.
	BMessage news;
	if (message->IsSourceRemote() || message->FindMessage("message", &news) != B_OK)
		return;
	PostClients(&news);
}

void MVServer::_QuitReportServer()
{
	if (fReportServer == nullptr)
		return;
	MVReportServer* reportServer = fReportServer;
	BMessenger messenger = fReportMessenger;
	fReportServer = nullptr;
	fReportMessenger = BMessenger();
	if (messenger.Port() < 0) {
		// It never ran: Quit() deletes it at once.
		reportServer->Quit();
		return;
	}
	// A running one quits under its lock and deletes itself; one that
	// has quit by itself is gone already and cannot be locked.
	if (messenger.LockTarget())
		reportServer->Quit();
}

void MVServer::_LoadJobs()
{
	int32 result = LoadJobList();
	// A missing file is the normal first start.
	if (result > 1)
		_Log("The job list cannot be read (result %d); the queue starts empty.", result);
}

void MVServer::_CreateFolders()
{
	if (fProgramFolder.empty()) {
		_Log("The folder of the program is unknown; no catalogues are kept.");
		return;
	}
	std::string catalogues = fProgramFolder + "/" + kCatalogueFolderName;
	status_t status = create_directory(catalogues.c_str(), 0777);
	if (status == B_OK)
		fCatalogueDirectory = catalogues;
	else
		_Log("The catalogue folder %s cannot be created: %s", catalogues.c_str(),
			strerror_status(status));

	std::string streamerData = fProgramFolder + "/" + kStreamerDataFolder;
	status = create_directory(streamerData.c_str(), 0777);
	if (status != B_OK)
		_Log("The folder %s cannot be created: %s", streamerData.c_str(),
			strerror_status(status));
}

void MVServer::_LoadCatalogueList()
{
	fCatalogueList = std::make_unique<BMessage>(kMsgLogData);
	if (fCatalogueDirectory.empty())
		return;
	BDirectory folder(fCatalogueDirectory.c_str());
	BEntry entry;
	while (folder.GetNextEntry(&entry) == B_OK)
		LogAddToList(entry);
}

void MVServer::_WatchCatalogueFolder()
{
	if (fCatalogueDirectory.empty())
		return;
	BDirectory folder(fCatalogueDirectory.c_str());
	node_ref node;
	status_t status = folder.GetNodeRef(&node);
	if (status == B_OK)
		status = watch_node(&node, B_WATCH_DIRECTORY, BMessenger(this));
	if (status == B_OK)
		fCatalogueFolderNode = node;
	if (status != B_OK)
		_Log("The catalogue folder %s cannot be watched: %s", fCatalogueDirectory.c_str(),
			strerror_status(status));
}

void MVServer::Quit()
{
	_QuitReportServer();
	BApplication::Quit();
}

// #pragma mark - messages

void MVServer::MessageReceived(BMessage* message)
{
	if (IsReportRequest(message->what)) {
		_PassToReportServer(message);
		return;
	}
	int32 jobId = _JobIdOf(message);
	switch (message->what) {
		case kMsgAddClient:
		case kMsgRemoveClient:
			_HandleClientMessage(message);
			break;
		case kMsgBroadcastReportNews:
			_BroadcastReportNews(message);
			break;
		case kMsgJobAdd:
			_HandleJobAdd(message);
			break;
		case kMsgJobList:
		{
			BMessage reply;
			JobList(&reply);
			message->SendReply(&reply);
			break;
		}
		case kMsgJobGet:
			_HandleJobGet(message);
			break;
		case kMsgJobSet:
			JobReplace(message);
			break;
		case kMsgJobEdit:
			JobEdit(jobId, message->GetInt32("edit", 0));
			break;
		case kMsgJobBegin:
			JobStart(jobId);
			JobChanged(jobId);
			break;
		case kMsgJobPause:
			if (JobPause(jobId))
				JobChanged(jobId);
			break;
		case kMsgJobContinue:
			if (JobContinue(jobId))
				JobChanged(jobId);
			break;
		case kMsgJobDelete:
			_HandleJobDelete(message);
			break;
		case kMsgJobFinished:
			_HandleJobFinished(message);
			break;
		case kMsgSubscribe:
			JobSubscribe(message);
			break;
		case kMsgLogRead:
			_HandleLogRead(message);
			break;
		case kMsgPasswordCheck:
			_HandlePasswordCheck(message);
			break;
		case kMsgVolumeScan:
			_HandleVolumeScan(message);
			break;
		case kMsgDeleteBackups:
			_HandleDeleteBackups(message);
			break;
		case kMsgWithdrawQuestion:
		case kMsgQuestion:
			PostClients(message);
			break;
		case B_NODE_MONITOR:
			LogUpdateList(message);
			break;
		default:
			if (!PostToolServer(message))
				BApplication::MessageReceived(message);
			break;
	}
}

void MVServer::_HandleClientMessage(BMessage* message)
{
	team_id team = message->GetInt32("client_id", -1);
	if (team <= 0) {
		_Log("A client message without a valid \"client_id\" was ignored.");
		return;
	}
	if (message->what == kMsgAddClient) {
		AddClient(team);
		return;
	}
	if (_IsClient(team))
		_Log("Client %d unregistered.", team);
	RemClient(team);
}

void MVServer::_HandleJobAdd(BMessage* message)
{
	int32 jobId = JobAdd(message);
	if (jobId == 0)
		return;
	BMessage reply(kMsgJobAccepted);
	reply.AddInt32("job_id", jobId);
	message->SendReply(&reply);
	JobInserted(jobId);
}

void MVServer::_HandleJobGet(BMessage* message)
{
	BMessage* record = FindJob(_JobIdOf(message));
	if (record != nullptr)
		message->SendReply(record);
}

void MVServer::_HandleJobDelete(BMessage* message)
{
	int32 jobId = _JobIdOf(message);
	if (message->GetInt32("flag", 0) == 1) {
		JobAbort(jobId);
		return;
	}
	if (JobRem(jobId))
		JobRemoved(jobId);
}

void MVServer::_HandleJobFinished(BMessage* message)
{
	int32 jobId = _JobIdOf(message);
	if (JobRestart(jobId)) {
		JobChanged(jobId);
		int32 result = SaveJobList();
		if (result != 0)
			_Log("The job list cannot be saved (result %d).", result);
	} else if (JobRem(jobId)) {
		JobRemoved(jobId);
	}

	if (fCatalogueDirectory.empty())
		return;
	const char* name;
	for (int32 i = 0; message->FindString("backup_id", i, &name) == B_OK; i++) {
		if (!CatalogueList::IsFileName(name)) {
			_Log("Job %d named no catalogue file (\"%s\"); it was ignored.", jobId, name);
			continue;
		}
		BEntry entry((fCatalogueDirectory + "/" + name).c_str());
		LogAddListEntry(entry);
	}
}

void MVServer::_HandleLogRead(BMessage* message)
{
	BMessage reply(kMsgLogData);
	const char* path = message->GetString("path", nullptr);
	if (path != nullptr) {
		LogReadDir(path, &reply, message->GetInt32("index", 0),
			message->GetInt32("subdir", 0));
	}
	message->SendReply(&reply);
}

void MVServer::_HandlePasswordCheck(BMessage* message)
{
	BMessage reply(kMsgPasswordResult);
	LogPWCheck(message, &reply);
	message->SendReply(&reply);
}

void MVServer::_HandleVolumeScan(BMessage* message)
{
	BMessage settings;
	if (message->FindMessage("settings", &settings) != B_OK)
		settings.MakeEmpty();
	BMessage result = VolumeScan(message->GetString("name", ""), &settings);
	result.what = kMsgVolumeData;
	result.RemoveName("id");
	result.AddInt32("id", message->GetInt32("id", 0));
	PostClients(&result);
}

void MVServer::_HandleDeleteBackups(BMessage* message)
{
	DeleteBackups(message);
	message->SendReply(kMsgBackupsDeleted);
}

void MVServer::_PassToReportServer(BMessage* message)
{
	if (!fReportMessenger.IsValid())
		return;
	if (!message->IsSourceWaiting()) {
		_Forward(fReportMessenger, message);
		return;
	}
	// A request whose sender waits is answered through this thread: the
	// report server never waits for the application, so this cannot
	// deadlock, and the sender gets the report server's own answer.
	BMessage reply;
	if (fReportMessenger.SendMessage(message, &reply) == B_OK && reply.what != B_NO_REPLY)
		message->SendReply(&reply);
}

// #pragma mark - clients

void MVServer::AddClient(team_id team)
{
	if (_IsClient(team))
		return;
	fClients.push_back(team);
	fToldAlone = false;
	for (const std::unique_ptr<BMessage>& record : fJobs) {
		bool holds = false;
		int32 value;
		for (int32 i = 0; !holds && record->FindInt32("client_id", i, &value) == B_OK; i++)
			holds = value == team;
		if (!holds)
			record->AddInt32("client_id", team);
	}
	_Log("Client %d registered.", team);
}

void MVServer::RemClient(team_id team)
{
	fClients.erase(std::remove(fClients.begin(), fClients.end(), team), fClients.end());
	for (const std::unique_ptr<BMessage>& record : fJobs) {
		type_code type;
		int32 count = 0;
		if (record->GetInfo("client_id", &type, &count) != B_OK)
			continue;
		for (int32 i = count - 1; i >= 0; i--) {
			if (record->GetInt32("client_id", i, 0) == team)
				record->RemoveData("client_id", i);
		}
	}
}

void MVServer::PostClients(BMessage* message)
{
	for (team_id team : fClients) {
		BMessenger client = fClientLink->MessengerFor(team);
		if (!client.IsValid())
			continue;
		// A client that cannot take the message misses it.
		client.SendMessage(message, static_cast<BHandler*>(nullptr), kClientSendTimeout);
	}
}

bool MVServer::PostToolServer(BMessage* message)
{
	int32 jobId = _JobIdOf(message);
	if (jobId == 0)
		return false;
	BMessenger worker = _WorkerOf(jobId);
	if (!worker.IsValid())
		return false;
	return _Forward(worker, message) == B_OK;
}

bool MVServer::_IsClient(team_id team) const
{
	return std::find(fClients.begin(), fClients.end(), team) != fClients.end();
}

// #pragma mark - pulse

void MVServer::Pulse()
{
	_DropEndedClients();
	if (fClients.empty() && !_StaysWithoutClients()) {
		Quit();
		return;
	}
	_StartDueJobs();
}

void MVServer::_DropEndedClients()
{
	for (size_t i = 0; i < fClients.size();) {
		team_id team = fClients[i];
		if (fClientLink->IsRunning(team)) {
			i++;
			continue;
		}
		_Log("Client %d has ended; it is dropped.", team);
		// The same position now holds the next client.
		RemClient(team);
	}
}

bool MVServer::_StaysWithoutClients()
{
	if (!fDaemon) {
		_Log("No client is registered; the server quits.");
		return false;
	}
	if (!fToldAlone)
		_Log("No client is registered; the server stays up as a daemon.");
	fToldAlone = true;
	return true;
}

void MVServer::_StartDueJobs()
{
	int32 now = _Now();
	// Starting a job may change the index; the count is read every time.
	for (int32 slot = 0; slot < _CountJobSlots(); slot++) {
		int32 date;
		if (fJobIndex.GetInt32("jobstatus", slot, 0) != kJobWaiting
			|| fJobIndex.FindTime("date", slot, &date) != B_OK || date > now) {
			continue;
		}
		int32 jobId = fJobIndex.GetInt32("job_id", slot, 0);
		JobStart(jobId);
		JobChanged(jobId);
	}
}

// #pragma mark - helpers

int32 MVServer::_CountJobSlots() const
{
	type_code type;
	int32 count = 0;
	if (fJobIndex.GetInfo("job_id", &type, &count) != B_OK)
		return 0;
	return count;
}

int32 MVServer::_JobSlot(int32 jobId) const
{
	if (jobId == 0)
		return -1;
	int32 value;
	for (int32 slot = 0; fJobIndex.FindInt32("job_id", slot, &value) == B_OK; slot++) {
		if (value == jobId)
			return slot;
	}
	return -1;
}

BMessenger MVServer::_WorkerOf(int32 jobId) const
{
	BMessenger worker;
	int32 slot = _JobSlot(jobId);
	if (slot < 0 || fJobIndex.FindMessenger("server", slot, &worker) != B_OK)
		return BMessenger();
	return worker;
}

int32 MVServer::_JobIdOf(const BMessage* message)
{
	return message->GetInt32("job_id", 0);
}

status_t MVServer::_Forward(const BMessenger& target, BMessage* message)
{
	return target.SendMessage(message, message->ReturnAddress());
}

void MVServer::_Log(const char* format, ...)
{
	va_list arguments;
	va_start(arguments, format);
	fLog->LogV(format, arguments);
	va_end(arguments);
}
