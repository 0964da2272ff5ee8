// The job queue of the server: the job table, the job index and the
// operations on them. Every operation runs on the application thread.
//
// The index keeps one slot per job in parallel arrays ("job_id", "title",
// "date", "job_type", "jobstatus", "oldjobstatus", "server"); slot i belongs
// to the record at position i of the table. Every change of the queue that
// must survive a restart saves the job list at once.

#include "MVServer.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>

#include <app/Looper.h>

#include "MVClientLink.h"
#include "MVJobListFile.h"
#include "MVJobScheduler.h"
#include "ServerProtocol.h"

namespace {

constexpr const char* kNoTitle = "-- no title --";
// Draws of a job id before giving up on a free one.
constexpr int32 kMaxJobIdDraws = 100;
// The report server may be busy storing a report; it is waited for longer
// than a client, but not for ever.
constexpr bigtime_t kReportReplyTimeout = 30000000;

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

// A client may list itself more than once; every client is asked once.
void RemoveDuplicateClients(BMessage* record)
{
	std::vector<int32> clients;
	int32 team;
	for (int32 i = 0; record->FindInt32("client_id", i, &team) == B_OK; i++) {
		if (std::find(clients.begin(), clients.end(), team) == clients.end())
			clients.push_back(team);
	}
	record->RemoveName("client_id");
	for (int32 client : clients)
		record->AddInt32("client_id", client);
}

}	// namespace

BMessage* MVServer::FindJob(int32 jobId) const
{
	int32 slot = _JobSlot(jobId);
	if (slot < 0 || size_t(slot) >= fJobs.size())
		return nullptr;
	return fJobs[size_t(slot)].get();
}

void MVServer::JobList(BMessage* reply) const
{
	*reply = fJobIndex;
	reply->RemoveName("user");
}

void MVServer::JobSubscribe(BMessage* request)
{
	int32 jobId = _JobIdOf(request);
	BMessage* record = FindJob(jobId);
	BMessenger user;
	if (record == nullptr || request->FindMessenger("user", &user) != B_OK)
		return;
	record->AddMessenger("user", user);
	if (user.IsValid()) {
		BMessage copy(*record);
		copy.what = kMsgJobRecord;
		copy.RemoveName("user");
		user.SendMessage(&copy, static_cast<BHandler*>(nullptr), kClientSendTimeout);
	}
	// The worker adds the subscriber to the receivers of its progress.
	BMessenger worker = _WorkerOf(jobId);
	if (worker.IsValid())
		_Forward(worker, request);
}

bool MVServer::JobAbort(int32 jobId)
{
	BMessage abort(kMsgJobDelete);
	abort.AddInt32("job_id", jobId);
	return PostToolServer(&abort);
}

// #pragma mark - adding and removing

int32 MVServer::JobAdd(BMessage* request)
{
	BMessage schedule;
	int32 start;
	if (request->FindMessage("scheduler", &schedule) != B_OK
		|| schedule.FindTime("TIME", &start) != B_OK) {
		return 0;
	}
	int32 jobId = _NewJobId();
	if (jobId == 0)
		return 0;
	request->SetInt32("job_id", jobId);

	auto record = std::make_unique<BMessage>(*request);
	RemoveDuplicateClients(record.get());
	BMessage startInfo;
	if (record->FindMessage("start_info", &startInfo) != B_OK)
		startInfo.MakeEmpty();
	const char* title;
	if (startInfo.FindString("title", &title) != B_OK) {
		startInfo.AddString("title", kNoTitle);
		record->SetMessage("start_info", &startInfo);
	}
	std::string indexTitle = startInfo.GetString("title", kNoTitle);
	bool onHold = startInfo.GetInt32("submitonhold", 0) != 0;
	if (onHold) {
		startInfo.RemoveName("submitonhold");
		record->SetMessage("start_info", &startInfo);
	}

	fJobIndex.AddInt32("job_id", jobId);
	fJobIndex.AddString("title", indexTitle);
	fJobIndex.AddTime("date", start);
	fJobIndex.AddInt32("job_type", record->GetInt32("job_type", 0));
	fJobIndex.AddInt32("jobstatus", onHold ? kJobPaused : kJobWaiting);
	fJobIndex.AddInt32("oldjobstatus", onHold ? kJobWaiting : 0);
	fJobIndex.AddMessenger("server", BMessenger());
	fJobs.push_back(std::move(record));
	_SaveJobs();
	return jobId;
}

bool MVServer::JobRem(int32 jobId)
{
	int32 slot = _JobSlot(jobId);
	if (slot < 0 || size_t(slot) >= fJobs.size())
		return false;
	BMessenger worker = _WorkerOf(jobId);
	std::unique_ptr<BMessage> record = std::move(fJobs[size_t(slot)]);
	fJobs.erase(fJobs.begin() + slot);
	if (worker.IsValid()) {
		BMessage abort(kMsgJobDelete);
		abort.AddInt32("job_id", jobId);
		worker.SendMessage(&abort, static_cast<BHandler*>(nullptr), kClientSendTimeout);
	}
	record.reset();
	_RemoveJobSlot(slot);
	_SaveJobs();
	return true;
}

// #pragma mark - broadcasts

void MVServer::JobInserted(int32 jobId)
{
	_PostJobEntry(kMsgJobInserted, jobId, false);
}

void MVServer::JobChanged(int32 jobId)
{
	_PostJobEntry(kMsgJobChanged, jobId, true);
}

void MVServer::JobRemoved(int32 jobId)
{
	BMessage notice(kMsgJobRemoved);
	notice.AddInt32("job_id", jobId);
	PostClients(&notice);
}

void MVServer::_PostJobEntry(uint32 what, int32 jobId, bool withOldState)
{
	int32 slot = _JobSlot(jobId);
	if (slot < 0)
		return;
	BMessage notice(what);
	notice.AddInt32("job_id", jobId);
	notice.AddString("title", fJobIndex.GetString("title", slot, ""));
	int32 date = 0;
	(void)fJobIndex.FindTime("date", slot, &date);
	notice.AddTime("date", date);
	notice.AddInt32("job_type", fJobIndex.GetInt32("job_type", slot, 0));
	notice.AddInt32("jobstatus", _JobState(slot));
	if (withOldState)
		notice.AddInt32("oldjobstatus", fJobIndex.GetInt32("oldjobstatus", slot, 0));
	PostClients(&notice);
}

// #pragma mark - starting

void MVServer::JobStart(int32 jobId)
{
	int32 slot = _JobSlot(jobId);
	if (slot < 0 || size_t(slot) >= fJobs.size() || _JobState(slot) != kJobWaiting)
		return;
	BMessage* record = fJobs[size_t(slot)].get();
	int32 jobType = record->GetInt32("job_type", 0);
	if (!IsKnownJobType(jobType))
		return;
	if (IsBackupJob(jobType))
		PrepareBackupJob(record);

	BMessenger worker = _StartWorker(jobType, *record);
	_SetJobWorker(slot, worker);
	if (!worker.IsValid())
		return;

	BMessage subscription(kMsgSubscribe);
	subscription.AddInt32("job_id", jobId);
	subscription.AddMessenger("user", fReportMessenger);
	if (fReportMessenger.IsValid()) {
		BMessage notice(kMsgReportNew);
		notice.AddInt32("job_id", jobId);
		notice.AddInt32("job_type", jobType);
		BMessage startInfo;
		if (record->FindMessage("start_info", &startInfo) != B_OK)
			startInfo.MakeEmpty();
		notice.AddString("title", startInfo.GetString("title", kNoTitle));
		int32 date = 0;
		(void)fJobIndex.FindTime("date", slot, &date);
		notice.AddTime("date", date);
		_AskForReport(&notice, record);
		_AskClientsForViews(&notice, &subscription, record);
	}
	worker.SendMessage(&subscription, static_cast<BHandler*>(nullptr), kClientSendTimeout);
	BMessage start(*record);
	start.what = kMsgJobStart;
	worker.SendMessage(&start, static_cast<BHandler*>(nullptr), kClientSendTimeout);
	_SetJobState(slot, kJobRunning, kJobWaiting);
}

BMessenger MVServer::_StartWorker(int32 jobType, const BMessage& record)
{
	if (!fWorkerFactory)
		return BMessenger();
	BLooper* worker = fWorkerFactory(jobType, record);
	if (worker == nullptr)
		return BMessenger();
	thread_id thread = worker->Run();
	if (thread < 0) {
		_Log("The worker of job %d cannot be started: %s", record.GetInt32("job_id", 0),
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
void MVServer::_AskForReport(BMessage* notice, BMessage* record)
{
	BMessage reply;
	int32 reportId = 0;
	if (fReportMessenger.SendMessage(notice, &reply, kReportReplyTimeout, kReportReplyTimeout)
			== B_OK) {
		reportId = reply.GetInt32("report_id", 0);
	}
	record->SetInt32("report_id", reportId);
}

// Every client of the job may answer with a status view that follows the
// job. A client that does not answer in time gets no view.
void MVServer::_AskClientsForViews(BMessage* notice, BMessage* subscription, BMessage* record)
{
	notice->what = kMsgJobStart;
	std::vector<int32> clients;
	int32 team;
	for (int32 i = 0; record->FindInt32("client_id", i, &team) == B_OK; i++)
		clients.push_back(team);
	for (int32 client : clients) {
		BMessenger messenger = fClientLink->MessengerFor(client);
		if (!messenger.IsValid())
			continue;
		BMessage reply;
		if (messenger.SendMessage(notice, &reply, kClientSendTimeout, kClientSendTimeout) != B_OK
			|| reply.what == B_NO_REPLY) {
			continue;
		}
		BMessenger view;
		if (reply.FindMessenger("user", &view) != B_OK)
			continue;
		subscription->AddMessenger("user", view);
		record->AddMessenger("user", view);
	}
}

void MVServer::PrepareBackupJob(BMessage* record)
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

// #pragma mark - state changes

bool MVServer::JobPause(int32 jobId)
{
	int32 slot = _JobSlot(jobId);
	if (slot < 0)
		return false;
	int32 state = _JobState(slot);
	if (state == kJobPaused)
		return false;
	_SetJobState(slot, kJobPaused, state);
	BMessenger worker = _WorkerOf(jobId);
	if (worker.IsValid()) {
		BMessage pause(kMsgJobPause);
		pause.AddInt32("job_id", jobId);
		worker.SendMessage(&pause, static_cast<BHandler*>(nullptr), kClientSendTimeout);
	}
	_SaveJobs();
	return true;
}

bool MVServer::JobContinue(int32 jobId)
{
	int32 slot = _JobSlot(jobId);
	if (slot < 0)
		return false;
	int32 state = _JobState(slot);
	if (state != kJobRunning && state != kJobPaused)
		return false;
	BMessenger worker = _WorkerOf(jobId);
	if (!worker.IsValid()) {
		_SetJobState(slot, kJobWaiting, state);
		_SaveJobs();
		return true;
	}
	// A job whose worker lives is running, whatever state it had before
	// it was paused: as Waiting, the pulse would start a second worker.
	_SetJobState(slot, kJobRunning, state);
	BMessage resume(kMsgJobContinue);
	resume.AddInt32("job_id", jobId);
	worker.SendMessage(&resume, static_cast<BHandler*>(nullptr), kClientSendTimeout);
	_SaveJobs();
	return true;
}

void MVServer::JobEdit(int32 jobId, int32 edit)
{
	int32 slot = _JobSlot(jobId);
	if (slot < 0)
		return;
	int32 state = _JobState(slot);
	if (edit != 0) {
		if (state == kJobEdit || state == kJobRunning)
			return;
		_SetJobState(slot, kJobEdit, state);
	} else {
		if (state != kJobEdit)
			return;
		int32 oldState = fJobIndex.GetInt32("oldjobstatus", slot, kJobWaiting);
		// Only Waiting and Paused lead into Edit.
		if (oldState != kJobPaused)
			oldState = kJobWaiting;
		_SetJobState(slot, oldState, kJobEdit);
	}
	JobChanged(jobId);
}

void MVServer::JobReplace(BMessage* request)
{
	int32 jobId = _JobIdOf(request);
	int32 slot = _JobSlot(jobId);
	BMessage data;
	if (slot < 0 || size_t(slot) >= fJobs.size()
		|| request->FindMessage("job_data", &data) != B_OK) {
		return;
	}
	BMessage* record = fJobs[size_t(slot)].get();
	uint32 what = record->what;
	*record = data;
	record->what = what;
	// The record stays the job it replaces.
	record->SetInt32("job_id", jobId);

	int32 jobType;
	if (record->FindInt32("job_type", &jobType) == B_OK)
		fJobIndex.ReplaceInt32("job_type", slot, jobType);
	const char* title;
	if (record->FindString("title", &title) == B_OK)
		fJobIndex.ReplaceString("title", slot, title);
	BMessage schedule;
	int32 start;
	if (record->FindMessage("scheduler", &schedule) != B_OK
		|| schedule.FindTime("TIME", &start) != B_OK) {
		return;
	}
	_SetJobDate(slot, start);
	JobChanged(jobId);
	_SaveJobs();
}

bool MVServer::JobRestart(int32 jobId)
{
	int32 slot = _JobSlot(jobId);
	if (slot < 0 || size_t(slot) >= fJobs.size())
		return false;
	BMessage* record = fJobs[size_t(slot)].get();
	int32 date = 0;
	(void)fJobIndex.FindTime("date", slot, &date);
	int32 now = _Now();
	_SetJobState(slot, kJobWaiting, 0);
	// Its worker has ended.
	_SetJobWorker(slot, BMessenger());
	// Started early: it still waits for its own time.
	if (date > now)
		return true;

	BMessage schedule;
	int32 next;
	if (record->FindMessage("scheduler", &schedule) != B_OK
		|| !MVJobScheduler::NextStart(schedule, date, now, &next)) {
		return false;
	}
	SetTime(record, "last_start", date);
	SetTime(&schedule, "TIME", next);
	record->SetMessage("scheduler", &schedule);
	_SetJobDate(slot, next);
	return true;
}

// #pragma mark - the job list file

int32 MVServer::SaveJobList()
{
	return MVJobListFile::Save(fProgramFolder.c_str(), fJobs, fJobIndex);
}

int32 MVServer::LoadJobList()
{
	fJobs.clear();
	fJobIndex.MakeEmpty();
	int32 result = MVJobListFile::Load(fProgramFolder.c_str(), &fJobs, &fJobIndex);
	if (result == MVJobListFile::kRead) {
		// The clients of the process that wrote the list register anew.
		for (const std::unique_ptr<BMessage>& record : fJobs)
			record->RemoveName("client_id");
		return result;
	}
	if (result == MVJobListFile::kNoFile)
		return result;
	// The next save would overwrite what the user may still want.
	status_t status = MVJobListFile::KeepDamaged(fProgramFolder.c_str());
	if (status == B_OK) {
		_Log("The job list %s is damaged (result %d); it was kept as %s%s.",
			MVJobListFile::kFileName, result, MVJobListFile::kFileName,
			MVJobListFile::kDamagedSuffix);
	} else {
		_Log("The damaged job list %s cannot be kept aside: %s", MVJobListFile::kFileName,
			strerror_status(status));
	}
	return result;
}

void MVServer::_SaveJobs()
{
	int32 result = SaveJobList();
	if (result != MVJobListFile::kSaved)
		_Log("The job list cannot be saved (result %d).", result);
}

// #pragma mark - the index

int32 MVServer::_Now() const
{
	if (fClock)
		return fClock();
	return int32(time(nullptr));
}

int32 MVServer::_NewJobId() const
{
	time_t now = _Now();
	struct tm local = {};
	localtime_r(&now, &local);
	uint32 base = 1000u * (10000u * uint32(local.tm_yday) + uint32(local.tm_sec));
	for (int32 draw = 0; draw < kMaxJobIdDraws; draw++) {
		// Wraps around in 32 bits.
		int32 jobId = int32(base + uint32(rand()));
		if (jobId != 0 && _JobSlot(jobId) < 0)
			return jobId;
	}
	return 0;
}

int32 MVServer::_JobState(int32 slot) const
{
	return fJobIndex.GetInt32("jobstatus", slot, 0);
}

void MVServer::_SetJobState(int32 slot, int32 state, int32 oldState)
{
	fJobIndex.ReplaceInt32("jobstatus", slot, state);
	fJobIndex.ReplaceInt32("oldjobstatus", slot, oldState);
}

void MVServer::_SetJobDate(int32 slot, int32 date)
{
	// A 'TIME' value is 4 bytes, little-endian.
	uint32 value = uint32(date);
	char bytes[4] = {char(value & 0xff), char((value >> 8) & 0xff),
		char((value >> 16) & 0xff), char((value >> 24) & 0xff)};
	fJobIndex.ReplaceData("date", B_TIME_TYPE, slot, bytes, sizeof(bytes));
}

void MVServer::_SetJobWorker(int32 slot, const BMessenger& worker)
{
	// Messengers are replaced only as a whole array.
	std::vector<BMessenger> workers;
	int32 count = _CountJobSlots();
	for (int32 i = 0; i < count; i++) {
		BMessenger messenger;
		if (fJobIndex.FindMessenger("server", i, &messenger) != B_OK)
			messenger = BMessenger();
		workers.push_back(i == slot ? worker : messenger);
	}
	fJobIndex.RemoveName("server");
	for (const BMessenger& messenger : workers)
		fJobIndex.AddMessenger("server", messenger);
}

void MVServer::_RemoveJobSlot(int32 slot)
{
	std::vector<std::string> names;
	const char* name;
	type_code type;
	for (int32 i = 0; fJobIndex.GetInfo(B_ANY_TYPE, i, &name, &type) == B_OK; i++)
		names.emplace_back(name);
	for (const std::string& field : names)
		(void)fJobIndex.RemoveData(field.c_str(), slot);
}
