#include "MVJobQueue.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "JobTitle.h"
#include "JobType.h"
#include "MVClientRegistry.h"
#include "MessageOutbox.h"
#include "MVJobListFile.h"
#include "MVJobScheduler.h"
#include "MVServerLog.h"
#include "MVServerSettings.h"
#include "MessageForwarding.h"
#include "ServerProtocol.h"

namespace {

constexpr const char* kNoTitle = "-- no title --";
constexpr size_t kListCapacity = 20;
// Draws of a job id before giving up on a free one.
constexpr int32 kMaxJobIdDraws = 100;
// The report server may be busy storing a report; it is waited for longer
// than a client, but not for ever.
constexpr bigtime_t kReportReplyTimeout = 30000000;
// Workers run in this process; their ports take every message at once.
constexpr bigtime_t kWorkerSendTimeout = 5000000;

// Adds or replaces a 4-byte time, whatever type the field had before.
void SetTime(BMessage* message, const char* name, int32 seconds)
{
	message->RemoveName(name);
	message->AddTime(name, seconds);
}

int32 TimeOf(const BMessage& message, const char* name, int32 defaultValue = 0)
{
	int32 seconds;
	if (message.FindTime(name, &seconds) != B_OK)
		return defaultValue;
	return seconds;
}

// The clients a record lists, each once, in order.
std::vector<int32> ClientsOf(const BMessage& record)
{
	std::vector<int32> clients;
	int32 team;
	for (int32 i = 0; record.FindInt32("client_id", i, &team) == B_OK; i++) {
		if (std::find(clients.begin(), clients.end(), team) == clients.end())
			clients.push_back(team);
	}
	return clients;
}

// A client may list itself more than once; every client is asked once.
void RemoveDuplicateClients(BMessage* record)
{
	std::vector<int32> clients = ClientsOf(*record);
	record->RemoveName("client_id");
	for (int32 client : clients)
		record->AddInt32("client_id", client);
}

bool StartTimeOf(const BMessage& record, int32* start)
{
	BMessage schedule;
	return record.FindMessage("scheduler", &schedule) == B_OK
		&& schedule.FindTime("TIME", start) == B_OK;
}

// Cuts an overlong title in the record's start info to the length every
// title keeps; true when it was cut.
bool CapTitleOf(BMessage* record)
{
	BMessage startInfo;
	const char* title;
	if (record->FindMessage("start_info", &startInfo) != B_OK
		|| startInfo.FindString("title", &title) != B_OK)
		return false;
	std::string capped = CappedTitle(title);
	if (capped.size() == strlen(title))
		return false;
	return startInfo.SetString("title", capped) == B_OK
		&& record->SetMessage("start_info", &startInfo) == B_OK;
}

}	// namespace

MVJobQueue::MVJobQueue(const MVServerSettings& settings, MVClientRegistry& clients,
	MVServerLog& log)
	:
	fProgramFolder(settings.programFolder),
	fWorkerFactory(settings.workerFactory),
	fRunsJobType(settings.runsJobType),
	fClock(settings.clock),
	fClients(clients),
	fLog(log)
{
	fJobs.reserve(kListCapacity);
}

// #pragma mark - looking up

QueuedJob* MVJobQueue::_Job(int32 jobId)
{
	if (jobId == 0)
		return nullptr;
	for (QueuedJob& job : fJobs) {
		if (job.id == jobId)
			return &job;
	}
	return nullptr;
}

const QueuedJob* MVJobQueue::Job(int32 jobId) const
{
	return const_cast<MVJobQueue*>(this)->_Job(jobId);
}

BMessage* MVJobQueue::FindJob(int32 jobId) const
{
	const QueuedJob* job = Job(jobId);
	return job != nullptr ? job->record.get() : nullptr;
}

void MVJobQueue::JobList(BMessage* reply) const
{
	*reply = MakeJobIndex(fJobs);
}

// #pragma mark - adding and removing

int32 MVJobQueue::JobAdd(BMessage* request, std::string* refusal)
{
	std::string reason;
	int32 start = 0;
	int32 type = request->GetInt32("job_type", 0);
	int32 jobId = 0;
	if (!StartTimeOf(*request, &start))
		reason = "the job has no start time";
	else if (!IsKnownJobType(type))
		reason = "job type " + std::to_string(type) + " is unknown";
	else if (!_RunsJobType(type))
		reason = "this server has no worker for jobs of type " + std::to_string(type);
	else if ((jobId = _NewJobId()) == 0)
		reason = "no job id is free";
	if (!reason.empty()) {
		if (refusal != nullptr)
			*refusal = reason;
		return 0;
	}
	request->SetInt32("job_id", jobId);

	QueuedJob job;
	job.id = jobId;
	job.record = std::make_unique<BMessage>(*request);
	BMessage* record = job.record.get();
	RemoveDuplicateClients(record);
	BMessage startInfo;
	if (record->FindMessage("start_info", &startInfo) != B_OK)
		startInfo.MakeEmpty();
	const char* title;
	if (startInfo.FindString("title", &title) != B_OK) {
		startInfo.AddString("title", kNoTitle);
		record->SetMessage("start_info", &startInfo);
	} else if (CapTitleOf(record)) {
		(void)record->FindMessage("start_info", &startInfo);
	}
	job.title = startInfo.GetString("title", kNoTitle);
	bool onHold = startInfo.GetInt32("submitonhold", 0) != 0;
	if (onHold) {
		startInfo.RemoveName("submitonhold");
		record->SetMessage("start_info", &startInfo);
	}
	job.date = start;
	job.type = record->GetInt32("job_type", 0);
	job.state = onHold ? kJobPaused : kJobWaiting;
	job.oldState = onHold ? kJobWaiting : 0;
	fJobs.push_back(std::move(job));
	_SaveJobs();
	return jobId;
}

bool MVJobQueue::JobRem(int32 jobId)
{
	auto found = std::find_if(fJobs.begin(), fJobs.end(),
		[jobId](const QueuedJob& job) { return job.id == jobId && jobId != 0; });
	// A job open in an edit window stays until its editor lets it go.
	if (found == fJobs.end() || found->state == kJobEdit)
		return false;
	QueuedJob job = std::move(*found);
	fJobs.erase(found);
	if (job.worker.IsValid())
		_SendToWorker(job, kMsgJobDelete);
	_SaveJobs();
	return true;
}

bool MVJobQueue::JobAbort(int32 jobId)
{
	BMessage abort(kMsgJobDelete);
	abort.AddInt32("job_id", jobId);
	return PostToolServer(&abort);
}

void MVJobQueue::_SendToWorker(const QueuedJob& job, uint32 what)
{
	BMessage message(what);
	message.AddInt32("job_id", job.id);
	(void)job.worker.SendMessage(&message, static_cast<BHandler*>(nullptr),
		kWorkerSendTimeout);
}

bool MVJobQueue::PostToolServer(BMessage* message)
{
	const QueuedJob* job = Job(message->GetInt32("job_id", 0));
	if (job == nullptr || !job->worker.IsValid())
		return false;
	return ForwardMessage(job->worker, message) == B_OK;
}

// #pragma mark - clients

void MVJobQueue::AddClient(team_id team)
{
	for (QueuedJob& job : fJobs) {
		std::vector<int32> clients = ClientsOf(*job.record);
		if (std::find(clients.begin(), clients.end(), team) == clients.end())
			job.record->AddInt32("client_id", team);
	}
}

void MVJobQueue::RemoveClient(team_id team)
{
	for (QueuedJob& job : fJobs) {
		type_code type;
		int32 count = 0;
		if (job.record->GetInfo("client_id", &type, &count) != B_OK)
			continue;
		for (int32 i = count - 1; i >= 0; i--) {
			if (job.record->GetInt32("client_id", i, 0) == team)
				job.record->RemoveData("client_id", i);
		}
	}
}

// #pragma mark - notices

void MVJobQueue::JobInserted(int32 jobId)
{
	_PostJobEntry(kMsgJobInserted, jobId, false);
}

void MVJobQueue::JobChanged(int32 jobId)
{
	_PostJobEntry(kMsgJobChanged, jobId, true);
}

void MVJobQueue::JobRemoved(int32 jobId)
{
	BMessage notice(kMsgJobRemoved);
	notice.AddInt32("job_id", jobId);
	fClients.PostClients(&notice);
}

void MVJobQueue::_PostJobEntry(uint32 what, int32 jobId, bool withOldState)
{
	const QueuedJob* job = Job(jobId);
	if (job == nullptr)
		return;
	BMessage notice(what);
	notice.AddInt32("job_id", jobId);
	notice.AddString("title", job->title);
	notice.AddTime("date", job->date);
	notice.AddInt32("job_type", job->type);
	notice.AddInt32("jobstatus", job->state);
	if (withOldState)
		notice.AddInt32("oldjobstatus", job->oldState);
	fClients.PostClients(&notice);
}

// #pragma mark - starting

void MVJobQueue::StartDueJobs()
{
	int32 now = _Now();
	// Starting a job may change the table; ids are collected first.
	std::vector<int32> due;
	for (const QueuedJob& job : fJobs) {
		if (job.state == kJobWaiting && job.date <= now)
			due.push_back(job.id);
	}
	// A job that cannot start now is offered again at the next pulse; its
	// clients hear of it only when it does.
	for (int32 jobId : due) {
		if (JobStart(jobId))
			JobChanged(jobId);
	}
}

bool MVJobQueue::HasWorkingJobs() const
{
	return std::any_of(fJobs.begin(), fJobs.end(),
		[](const QueuedJob& job) { return job.worker.IsValid(); });
}

bool MVJobQueue::HasWaitingJobs() const
{
	return std::any_of(fJobs.begin(), fJobs.end(),
		[](const QueuedJob& job) { return job.state == kJobWaiting; });
}

bool MVJobQueue::_RunsJobType(int32 jobType) const
{
	return IsKnownJobType(jobType) && (!fRunsJobType || fRunsJobType(jobType));
}

bool MVJobQueue::JobStart(int32 jobId)
{
	QueuedJob* job = _Job(jobId);
	if (job == nullptr || job->state != kJobWaiting)
		return false;
	BMessage* record = job->record.get();
	int32 jobType = record->GetInt32("job_type", 0);
	if (!_RunsJobType(jobType)) {
		// A job list of another server may hold such a job.
		if (fToldCannotRun.insert(jobId).second) {
			fLog.Log("Job %d is of type %d, which this server has no worker for; it stays "
				"queued.", jobId, jobType);
		}
		return false;
	}
	if (IsBackupJob(jobType))
		PrepareBackupJob(record);

	BMessenger worker = _StartWorker(jobType, *record);
	job->worker = worker;
	if (!worker.IsValid())
		return false;

	BMessage subscription(kMsgSubscribe);
	subscription.AddInt32("job_id", jobId);
	subscription.AddMessenger("user", fReportServer);
	if (fReportServer.IsValid()) {
		BMessage notice(kMsgReportNew);
		notice.AddInt32("job_id", jobId);
		notice.AddInt32("job_type", jobType);
		BMessage startInfo;
		if (record->FindMessage("start_info", &startInfo) != B_OK)
			startInfo.MakeEmpty();
		notice.AddString("title", startInfo.GetString("title", kNoTitle));
		notice.AddTime("date", job->date);
		_AskForReport(&notice, record);
		_AskClientsForViews(&notice, &subscription, record);
	}
	BMessage start(*record);
	start.what = kMsgJobStart;
	status_t status = worker.SendMessage(&subscription, static_cast<BHandler*>(nullptr),
		kWorkerSendTimeout);
	if (status == B_OK)
		status = worker.SendMessage(&start, static_cast<BHandler*>(nullptr), kWorkerSendTimeout);
	if (status != B_OK) {
		// A worker without its start never ends by itself; the job waits for
		// the next try.
		fLog.Log("The worker of job %d did not take its start (%s); the job stays waiting.",
			jobId, strerror_status(status));
		(void)worker.SendMessage(B_QUIT_REQUESTED);
		job->worker = BMessenger();
		return false;
	}
	_SetState(job, kJobRunning, kJobWaiting);
	return true;
}

BMessenger MVJobQueue::_StartWorker(int32 jobType, const BMessage& record)
{
	if (!fWorkerFactory)
		return BMessenger();
	BLooper* worker = fWorkerFactory(jobType, record);
	if (worker == nullptr)
		return BMessenger();
	thread_id thread = worker->Run();
	if (thread < 0) {
		fLog.Log("The worker of job %d cannot be started: %s", record.GetInt32("job_id", 0),
			strerror_status(thread));
		// A looper that never ran is deleted by Quit() at once.
		worker->Quit();
		return BMessenger();
	}
	return BMessenger(worker);
}

// The report server never waits for this thread, so asking it cannot
// deadlock; one that does not answer in time leaves the job without a
// report (id 0) rather than the queue stopped.
void MVJobQueue::_AskForReport(BMessage* notice, BMessage* record)
{
	BMessage reply;
	int32 reportId = 0;
	if (fReportServer.SendMessage(notice, &reply, kReportReplyTimeout, kReportReplyTimeout)
			== B_OK) {
		reportId = reply.GetInt32("report_id", 0);
	}
	record->SetInt32("report_id", reportId);
}

// Every client of the job may answer with a status view that follows the
// job. A client that does not answer in time gets no view, and is stalled:
// the server waits for it once at most.
void MVJobQueue::_AskClientsForViews(BMessage* notice, BMessage* subscription,
	BMessage* record)
{
	notice->what = kMsgJobStart;
	for (int32 client : ClientsOf(*record)) {
		BMessenger messenger = fClients.MessengerFor(client);
		if (!fClients.Contains(client) || fClients.StopsAnswering(client)
			|| !messenger.IsValid()) {
			continue;
		}
		BMessage reply;
		status_t status = messenger.SendMessage(notice, &reply,
			MVClientRegistry::kAnswerTimeout, MVClientRegistry::kAnswerTimeout);
		if (status == B_TIMED_OUT || status == B_WOULD_BLOCK)
			fClients.MarkStalled(client);
		if (status != B_OK || reply.what == B_NO_REPLY)
			continue;
		BMessenger view;
		if (reply.FindMessenger("user", &view) != B_OK)
			continue;
		subscription->AddMessenger("user", view);
		record->AddMessenger("user", view);
	}
}

void MVJobQueue::PrepareBackupJob(BMessage* record)
{
	int32 jobType = record->GetInt32("job_type", 0);
	int32 baseTime = 0;
	BMessage* base = FindJob(record->GetInt32("base_id", 0));
	if (jobType != kJobFullBackup && base != nullptr && base != record) {
		BMessage selection;
		if (base->FindMessage("selection", &selection) == B_OK)
			record->SetMessage("selection", &selection);
		baseTime = TimeOf(*base, "last_start");
	}
	int32 archiveTime = 0;
	if (jobType == kJobIncrementalBackup)
		archiveTime = std::max(TimeOf(*record, "last_start"), baseTime);
	else if (jobType == kJobDifferentialBackup)
		archiveTime = baseTime;
	SetTime(record, "archive_time", archiveTime);
}

void MVJobQueue::JobSubscribe(BMessage* request)
{
	QueuedJob* job = _Job(request->GetInt32("job_id", 0));
	BMessenger user;
	if (job == nullptr || request->FindMessenger("user", &user) != B_OK)
		return;
	job->record->AddMessenger("user", user);
	if (user.IsValid()) {
		BMessage copy(*job->record);
		copy.what = kMsgJobRecord;
		copy.RemoveName("user");
		MessageOutbox::SendWithoutWaiting(user, copy);
	}
	// The worker adds the subscriber to the receivers of its progress.
	if (job->worker.IsValid())
		(void)ForwardMessage(job->worker, request);
}

// #pragma mark - state changes

bool MVJobQueue::JobPause(int32 jobId)
{
	QueuedJob* job = _Job(jobId);
	if (job == nullptr || job->state == kJobPaused || job->state == kJobEdit)
		return false;
	_SetState(job, kJobPaused, job->state);
	if (job->worker.IsValid())
		_SendToWorker(*job, kMsgJobPause);
	_SaveJobs();
	return true;
}

bool MVJobQueue::JobContinue(int32 jobId)
{
	QueuedJob* job = _Job(jobId);
	if (job == nullptr || (job->state != kJobRunning && job->state != kJobPaused))
		return false;
	if (!job->worker.IsValid()) {
		_SetState(job, kJobWaiting, job->state);
		_SaveJobs();
		return true;
	}
	// A job whose worker lives is running, whatever state it had before
	// it was paused: as Waiting, the pulse would start a second worker.
	_SetState(job, kJobRunning, job->state);
	_SendToWorker(*job, kMsgJobContinue);
	_SaveJobs();
	return true;
}

bool MVJobQueue::JobEdit(int32 jobId, int32 edit)
{
	QueuedJob* job = _Job(jobId);
	if (job == nullptr)
		return false;
	if (edit != 0) {
		// One editor at a time, and never a running job.
		if (job->state == kJobEdit || job->state == kJobRunning)
			return false;
		_SetState(job, kJobEdit, job->state);
	} else {
		if (job->state != kJobEdit)
			return false;
		// Only Waiting and Paused lead into Edit.
		int32 oldState = job->oldState == kJobPaused ? kJobPaused : kJobWaiting;
		_SetState(job, oldState, kJobEdit);
	}
	JobChanged(jobId);
	return true;
}

void MVJobQueue::JobReplace(BMessage* request)
{
	int32 jobId = request->GetInt32("job_id", 0);
	QueuedJob* job = _Job(jobId);
	BMessage data;
	if (job == nullptr || request->FindMessage("job_data", &data) != B_OK)
		return;
	BMessage* record = job->record.get();
	uint32 what = record->what;
	*record = data;
	record->what = what;
	// The record stays the job it replaces.
	record->SetInt32("job_id", jobId);

	int32 jobType;
	if (record->FindInt32("job_type", &jobType) == B_OK)
		job->type = jobType;
	(void)CapTitleOf(record);
	const char* title;
	if (record->FindString("title", &title) == B_OK)
		job->title = CappedTitle(title);
	int32 start;
	if (!StartTimeOf(*record, &start))
		return;
	job->date = start;
	JobChanged(jobId);
	_SaveJobs();
}

bool MVJobQueue::JobRestart(int32 jobId, bool finished)
{
	QueuedJob* job = _Job(jobId);
	if (job == nullptr)
		return false;
	int32 now = _Now();
	_SetState(job, kJobWaiting, 0);
	// Its worker has ended.
	job->worker = BMessenger();
	// Started early: it still waits for its own time.
	if (job->date > now)
		return true;

	BMessage schedule;
	int32 next;
	if (job->record->FindMessage("scheduler", &schedule) != B_OK
		|| !MVJobScheduler::NextStart(schedule, job->date, now, &next)) {
		return false;
	}
	if (finished)
		SetTime(job->record.get(), "last_start", job->date);
	SetTime(&schedule, "TIME", next);
	job->record->SetMessage("scheduler", &schedule);
	job->date = next;
	return true;
}

void MVJobQueue::_SetState(QueuedJob* job, int32 state, int32 oldState)
{
	job->state = state;
	job->oldState = oldState;
}

// #pragma mark - the job list file

int32 MVJobQueue::SaveJobList()
{
	return MVJobListFile::Save(fProgramFolder.c_str(), fJobs);
}

int32 MVJobQueue::LoadJobList()
{
	fJobs.clear();
	int32 result = MVJobListFile::Load(fProgramFolder.c_str(), &fJobs);
	if (result == MVJobListFile::kRead) {
		// The clients of the process that wrote the list register anew.
		for (QueuedJob& job : fJobs)
			job.record->RemoveName("client_id");
		return result;
	}
	if (result == MVJobListFile::kNoFile)
		return result;
	// The next save would overwrite what the user may still want.
	status_t status = MVJobListFile::KeepDamaged(fProgramFolder.c_str());
	if (status == B_OK) {
		fLog.Log("The job list %s is damaged (result %d); it was kept as %s%s.",
			MVJobListFile::kFileName, result, MVJobListFile::kFileName,
			MVJobListFile::kDamagedSuffix);
	} else {
		fLog.Log("The damaged job list %s cannot be kept aside: %s", MVJobListFile::kFileName,
			strerror_status(status));
	}
	return result;
}

void MVJobQueue::_SaveJobs()
{
	int32 result = SaveJobList();
	if (result != MVJobListFile::kSaved)
		fLog.Log("The job list cannot be saved (result %d).", result);
}

// #pragma mark - time and ids

int32 MVJobQueue::_Now() const
{
	if (fClock)
		return fClock();
	return int32(time(nullptr));
}

int32 MVJobQueue::_NewJobId() const
{
	time_t now = _Now();
	struct tm local = {};
	localtime_r(&now, &local);
	uint32 base = 1000u * (10000u * uint32(local.tm_yday) + uint32(local.tm_sec));
	for (int32 draw = 0; draw < kMaxJobIdDraws; draw++) {
		// Wraps around in 32 bits.
		int32 jobId = int32(base + uint32(rand()));
		if (jobId != 0 && Job(jobId) == nullptr)
			return jobId;
	}
	return 0;
}
