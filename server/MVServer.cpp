#include "MVServer.h"

#include <cstdlib>
#include <ctime>

#include <storage/AtomicFileWriter.h>
#include <storage/Directory.h>

#include <MVDefaultTexts.h>
#include <MVLocale.h>

#include "MVReportServer.h"
#include "MessageOutbox.h"
#include "MVRosterClientLink.h"
#include "MVServerLog.h"
#include "JobEndStatus.h"
#include "MessageForwarding.h"
#include "ServerProtocol.h"

MVServer::MVServer(const MVServerSettings& settings)
	:
	BApplication(kServerSignature),
	fProgramFolder(settings.programFolder),
	fDaemon(settings.daemon),
	fStandardErrorLog(settings.log == nullptr ? std::make_unique<MVServerLog>(nullptr) : nullptr),
	fLog(settings.log != nullptr ? settings.log : fStandardErrorLog.get()),
	fRosterLink(settings.clientLink == nullptr ? std::make_unique<MVRosterClientLink>()
		: nullptr),
	fClients(settings.clientLink != nullptr ? settings.clientLink : fRosterLink.get()),
	fQueue(settings, fClients, *fLog),
	fCatalogues(settings.programFolder, fClients, *fLog)
{
	MVServerLog* log = fLog;
	fPreviousAlertSink = BAlert::SetLogSink([log](const char* line) { log->LogText(line); });

	_SetUpLocale();
	_StartReportServer();
	fQueue.SetReportServer(fReportMessenger);
	fCatalogues.SetReportServer(fReportMessenger);
	_LoadJobs();
	SetPulseRate(settings.pulseRate);
	// Job ids are drawn from the C generator.
	srand(unsigned(time(nullptr)));
	_CreateStreamerDataFolder();
	fCatalogues.Start(BMessenger(this));
}

MVServer::~MVServer()
{
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
	InstallDefaultTexts(fLocale);
}

void MVServer::_StartReportServer()
{
	fReportServer = new MVReportServer(fProgramFolder.c_str());
	fReportServer->SetLog(fLog);
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
		fLog->Log("The report server cannot be started: %s", strerror_status(thread));
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
	fClients.PostClients(&news);
}

void MVServer::_QuitReportServer()
{
	if (fReportServer == nullptr)
		return;
	MVReportServer* reportServer = fReportServer;
	BMessenger messenger = fReportMessenger;
	fReportServer = nullptr;
	fReportMessenger = BMessenger();
	fQueue.SetReportServer(BMessenger());
	fCatalogues.SetReportServer(BMessenger());
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
	// A server killed while it saved the list left its temporary file.
	if (!fProgramFolder.empty())
		(void)AtomicFileWriter::RemoveStaleTemporaries(fProgramFolder.c_str());
	int32 result = fQueue.LoadJobList();
	// A missing file is the normal first start.
	if (result > 1)
		fLog->Log("The job list cannot be read (result %d); the queue starts empty.", result);
}

void MVServer::_CreateStreamerDataFolder()
{
	if (fProgramFolder.empty())
		return;
	std::string streamerData = fProgramFolder + "/" + kStreamerDataFolder;
	status_t status = create_directory(streamerData.c_str(), 0777);
	if (status != B_OK)
		fLog->Log("The folder %s cannot be created: %s", streamerData.c_str(),
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
	fClients.HeardFrom(message->ReturnAddress().Team());
	if (IsReportRequest(message->what)) {
		_PassToReportServer(message);
		return;
	}
	int32 jobId = message->GetInt32("job_id", 0);
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
			fQueue.JobList(&reply);
			_Answer(message, reply);
			break;
		}
		case kMsgJobGet:
			_HandleJobGet(message);
			break;
		case kMsgJobSet:
			fQueue.JobReplace(message);
			break;
		case kMsgJobEdit:
		{
			// A client that waits learns whether the job is its to edit.
			bool done = fQueue.JobEdit(jobId, message->GetInt32("edit", 0));
			if (message->IsSourceWaiting()) {
				BMessage reply(B_REPLY);
				reply.AddBool("result", done);
				_Answer(message, reply);
			}
			break;
		}
		case kMsgJobBegin:
			if (fQueue.JobStart(jobId))
				fQueue.JobChanged(jobId);
			break;
		case kMsgJobPause:
			if (fQueue.JobPause(jobId))
				fQueue.JobChanged(jobId);
			break;
		case kMsgJobContinue:
			if (fQueue.JobContinue(jobId))
				fQueue.JobChanged(jobId);
			break;
		case kMsgJobDelete:
			_HandleJobDelete(message);
			break;
		case kMsgJobFinished:
			_HandleJobFinished(message);
			break;
		case kMsgSubscribe:
			fQueue.JobSubscribe(message);
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
			fClients.PostClients(message);
			break;
		case B_NODE_MONITOR:
			fCatalogues.LogUpdateList(message);
			break;
		default:
			if (!fQueue.PostToolServer(message))
				BApplication::MessageReceived(message);
			break;
	}
}

void MVServer::_HandleClientMessage(BMessage* message)
{
	team_id team = message->GetInt32("client_id", -1);
	if (team <= 0) {
		fLog->Log("A client message without a valid \"client_id\" was ignored.");
		return;
	}
	if (message->what == kMsgAddClient) {
		AddClient(team);
		return;
	}
	if (fClients.Contains(team))
		fLog->Log("Client %d unregistered.", team);
	RemClient(team);
}

void MVServer::_HandleJobAdd(BMessage* message)
{
	std::string refusal;
	int32 jobId = fQueue.JobAdd(message, &refusal);
	if (jobId == 0) {
		BMessage refused(kMsgJobRefused);
		refused.AddString("error", refusal.c_str());
		_Answer(message, refused);
		return;
	}
	BMessage reply(kMsgJobAccepted);
	reply.AddInt32("job_id", jobId);
	_Answer(message, reply);
	fQueue.JobInserted(jobId);
}

void MVServer::_HandleJobGet(BMessage* message)
{
	BMessage* record = fQueue.FindJob(message->GetInt32("job_id", 0));
	if (record != nullptr)
		_Answer(message, *record);
}

void MVServer::_HandleJobDelete(BMessage* message)
{
	int32 jobId = message->GetInt32("job_id", 0);
	if (message->GetInt32("flag", 0) == 1) {
		fQueue.JobAbort(jobId);
		return;
	}
	if (fQueue.JobRem(jobId))
		fQueue.JobRemoved(jobId);
}

void MVServer::_HandleJobFinished(BMessage* message)
{
	int32 jobId = message->GetInt32("job_id", 0);
	bool finished = message->GetInt32("status", kJobEndedSuccessfully) != kJobEndedAborted;
	if (fQueue.JobRestart(jobId, finished)) {
		fQueue.JobChanged(jobId);
		int32 result = fQueue.SaveJobList();
		if (result != 0)
			fLog->Log("The job list cannot be saved (result %d).", result);
	} else if (fQueue.JobRem(jobId)) {
		fQueue.JobRemoved(jobId);
	}
	fCatalogues.AddFinishedBackups(*message);
}

void MVServer::_HandleLogRead(BMessage* message)
{
	BMessage reply(kMsgLogData);
	const char* path = message->GetString("path", nullptr);
	if (path != nullptr) {
		fCatalogues.LogReadDir(path, &reply, message->GetInt32("index", 0),
			message->GetInt32("subdir", 0));
	}
	_Answer(message, reply);
}

void MVServer::_HandlePasswordCheck(BMessage* message)
{
	BMessage reply(kMsgPasswordResult);
	fCatalogues.LogPWCheck(message, &reply);
	_Answer(message, reply);
}

void MVServer::_HandleVolumeScan(BMessage* message)
{
	BMessage settings;
	if (message->FindMessage("settings", &settings) != B_OK)
		settings.MakeEmpty();
	BMessage result = fCatalogues.VolumeScan(message->GetString("name", ""), &settings);
	result.what = kMsgVolumeData;
	result.RemoveName("id");
	result.AddInt32("id", message->GetInt32("id", 0));
	fClients.PostClients(&result);
}

void MVServer::_HandleDeleteBackups(BMessage* message)
{
	fCatalogues.DeleteBackups(message);
	_Answer(message, BMessage(kMsgBackupsDeleted));
}

void MVServer::_PassToReportServer(BMessage* message)
{
	if (!fReportMessenger.IsValid())
		return;
	if (!message->IsSourceWaiting()) {
		(void)ForwardMessage(fReportMessenger, message);
		return;
	}
	// A request whose sender waits is answered through this thread: the
	// report server never waits for the application, so this cannot
	// deadlock, and the sender gets the report server's own answer.
	BMessage reply;
	if (fReportMessenger.SendMessage(message, &reply) == B_OK && reply.what != B_NO_REPLY)
		_Answer(message, reply);
}

void MVServer::_Answer(BMessage* request, const BMessage& reply)
{
	// A client that went away while the server worked misses its answer;
	// there is no one else to tell. One that stopped taking its messages
	// misses it too, rather than stopping the server.
	(void)request->SendReply(&reply, static_cast<BHandler*>(nullptr),
		MessageOutbox::kStallTimeout);
}

// #pragma mark - clients

void MVServer::AddClient(team_id team)
{
	if (!fClients.Add(team))
		return;
	fToldAlone.clear();
	fQueue.AddClient(team);
	fLog->Log("Client %d registered.", team);
}

void MVServer::RemClient(team_id team)
{
	(void)fClients.Remove(team);
	fQueue.RemoveClient(team);
}

// #pragma mark - pulse

void MVServer::Pulse()
{
	_DropEndedClients();
	if (fClients.IsEmpty() && !_StaysWithoutClients()) {
		Quit();
		return;
	}
	fQueue.StartDueJobs();
	fCatalogues.ListArrivedCatalogues();
}

void MVServer::_DropEndedClients()
{
	for (team_id team : fClients.RemoveEnded()) {
		fLog->Log("Client %d has ended; it is dropped.", team);
		fQueue.RemoveClient(team);
	}
	for (team_id team : fClients.RemoveStalled()) {
		fLog->Log("Client %d does not take its messages; it is dropped and may register "
			"again.", team);
		fQueue.RemoveClient(team);
	}
}

// Jobs must not die with the client that submitted them: a job with a
// worker, and one that waits for a start time it reaches by itself, keep
// the server up. A job held on hold does not; it waits for a client.
bool MVServer::_StaysWithoutClients()
{
	const char* reason = nullptr;
	if (fDaemon)
		reason = "as a daemon";
	else if (fQueue.HasWorkingJobs())
		reason = "while its jobs run";
	else if (fQueue.HasWaitingJobs())
		reason = "for the jobs that wait for their time";
	if (reason == nullptr) {
		fLog->Log("No client is registered; the server quits.");
		return false;
	}
	if (fToldAlone != reason)
		fLog->Log("No client is registered; the server stays up %s.", reason);
	fToldAlone = reason;
	return true;
}
