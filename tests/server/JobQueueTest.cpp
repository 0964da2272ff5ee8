// The job queue inside a server of the test process: accepting jobs, the
// broadcasts, starting due jobs with their worker, report and status views,
// pausing, editing, replacing, rescheduling and removing, and the job list
// file across a restart, damaged files included. The clock and the pulse
// are the test's.

#include <app/Looper.h>

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <vector>

#include "AwaitCondition.h"
#include "InProcessServer.h"
#include "JobEndStatus.h"
#include "MVJobListFile.h"
#include "MessageRecorder.h"

namespace {

constexpr int32 kHour = 3600;
constexpr int32 kNow = 1780000000;

// A client with its running-jobs window open: it answers a job start with
// the messenger of a status view.
class ViewingClient : public BHandler {
public:
	explicit ViewingClient(BMessenger view) : BHandler("viewing client"), fView(view) {}

	void MessageReceived(BMessage* message) override
	{
		fInbox.Add(*message);
		if (message->what != kMsgJobStart)
			return;
		BMessage reply('view');
		reply.AddMessenger("user", fView);
		EXPECT_EQ(message->SendReply(&reply), B_OK);
	}

	MessageInbox& Inbox() { return fInbox; }

private:
	BMessenger fView;
	MessageInbox fInbox;
};

class JobQueueTest : public InProcessServer {
protected:
	void TearDown() override
	{
		StopServer();
		QuitWorkers();
		if (fViewLooper != nullptr) {
			fViewLooper->Lock();
			fViewLooper->RemoveHandler(&fViewingClient);
			fViewLooper->Quit();
			fViewLooper = nullptr;
		}
		InProcessServer::TearDown();
	}

	// A daemon, so that a pulse without clients keeps it up; workers come
	// from the test unless told otherwise, for the job types the server
	// program has engines for (all but compare and insert) or for all.
	void CreateQueueServer(bool withWorkers = true, bool everyJobType = false)
	{
		MVServerSettings settings = Settings();
		settings.daemon = true;
		settings.clock = [this] { return fNow.load(); };
		settings.runsJobType = [everyJobType](int32 type) {
			return everyJobType || type <= kJobRestore;
		};
		settings.workerFactory = nullptr;
		if (withWorkers) {
			settings.workerFactory = [this](int32 jobType, const BMessage&) -> BLooper* {
				fWorkerTypes.push_back(jobType);
				return new RecordingWorker(&fWorkerInbox);
			};
		}
		CreateServer(settings);
	}

	void AddClient(team_id team, BMessenger messenger)
	{
		fLink.Add(team, messenger);
		BMessage registration;
		registration.AddInt32("client_id", team);
		Handle(kMsgAddClient, registration);
	}

	// Clients that answer a job start with a view, through a looper of
	// their own.
	void AddViewingClient(team_id team)
	{
		fViewLooper = new BLooper("viewing client");
		fViewLooper->AddHandler(&fViewingClient);
		fViewLooper->SetPreferredHandler(&fViewingClient);
		fViewLooper->Run();
		AddClient(team, BMessenger(nullptr, fViewLooper));
	}

	static BMessage JobRequest(const char* title, int32 start, int32 jobType = 1,
		BMessage schedule = BMessage())
	{
		BMessage request(kMsgJobAdd);
		request.AddInt32("job_type", jobType);
		request.AddInt32("client_id", 51);
		BMessage startInfo;
		if (title != nullptr)
			startInfo.AddString("title", title);
		request.AddMessage("start_info", &startInfo);
		schedule.AddTime("TIME", start);
		request.AddMessage("scheduler", &schedule);
		return request;
	}

	static BMessage Hourly()
	{
		BMessage schedule;
		schedule.AddInt32("Hours", 1);
		return schedule;
	}

	int32 Add(const BMessage& request)
	{
		BMessage copy(request);
		int32 jobId = fServer->Queue().JobAdd(&copy);
		if (jobId != 0)
			fServer->Queue().JobInserted(jobId);
		return jobId;
	}

	static BMessage WithJob(int32 jobId)
	{
		BMessage message;
		message.AddInt32("job_id", jobId);
		return message;
	}

	// The job's place in the queue, -1 when it is not queued.
	int32 Slot(int32 jobId)
	{
		const JobTable& jobs = fServer->Queue().Jobs();
		for (size_t slot = 0; slot < jobs.size(); slot++) {
			if (jobs[slot].id == jobId)
				return int32(slot);
		}
		return -1;
	}

	const QueuedJob& Queued(int32 jobId)
	{
		static const QueuedJob kNone;
		const QueuedJob* job = fServer->Queue().Job(jobId);
		EXPECT_NE(job, nullptr) << "job " << jobId;
		return job != nullptr ? *job : kNone;
	}

	int32 State(int32 jobId) { return Queued(jobId).state; }
	int32 OldState(int32 jobId) { return Queued(jobId).oldState; }
	int32 Date(int32 jobId) { return Queued(jobId).date; }

	BMessenger Worker(int32 jobId)
	{
		BMessenger worker = Queued(jobId).worker;
		if (worker.IsValid())
			fWorkers.push_back(worker);
		return worker;
	}

	// Ends the job's worker as a worker ends: it quits, and the server
	// hears of it.
	void FinishJob(int32 jobId, int32 status = kJobEndedSuccessfully)
	{
		BMessenger worker = Worker(jobId);
		if (worker.IsValid()) {
			ASSERT_EQ(worker.SendMessage(B_QUIT_REQUESTED), B_OK);
			EXPECT_TRUE(AwaitCondition([&] { return !worker.IsValid(); }, kPatience));
		}
		BMessage finished = WithJob(jobId);
		finished.AddInt32("status", status);
		Handle(kMsgJobFinished, finished);
	}

	// The workers of jobs that left the queue as well as those of queued ones.
	void QuitWorkers()
	{
		for (const BMessenger& worker : fWorkers) {
			// A worker that has quit already is what is waited for.
			(void)worker.SendMessage(B_QUIT_REQUESTED);
			EXPECT_TRUE(AwaitCondition([&] { return !worker.IsValid(); }, kPatience));
		}
		fWorkers.clear();
		InProcessServer::QuitWorkers();
	}

	std::vector<BMessage> JobList()
	{
		std::vector<BMessage> jobs;
		JobTable table;
		if (MVJobListFile::Load(kProgramFolder, &table) != MVJobListFile::kRead)
			return jobs;
		for (const QueuedJob& job : table)
			jobs.push_back(*job.record);
		return jobs;
	}

	std::atomic<int32> fNow{kNow};
	std::vector<int32> fWorkerTypes;
	std::vector<BMessenger> fWorkers;
	MessageRecorder fView{"status view"};
	ViewingClient fViewingClient{fView.Messenger()};
	BLooper* fViewLooper = nullptr;
};

MessageInbox::Predicate ForJob(int32 jobId)
{
	return [jobId](const BMessage& message) { return message.GetInt32("job_id", 0) == jobId; };
}

}	// namespace

// An accepted job is answered with its id, saved and announced to every
// client; a job without a start time is refused without an answer. A job
// submitted on hold is listed as Paused and continues as Waiting.
TEST_F(JobQueueTest, AddingJobs)
{
	MessageRecorder client("client");
	CreateQueueServer();
	AddClient(51, client.Messenger());
	RunServer();

	BMessage reply = Request(JobRequest("Home", kNow + kHour));
	ASSERT_EQ(reply.what, uint32(kMsgJobAccepted));
	int32 jobId = reply.GetInt32("job_id", 0);
	ASSERT_NE(jobId, 0);
	std::optional<BMessage> inserted = client.Inbox().Await(kMsgJobInserted, kPatience);
	ASSERT_TRUE(inserted.has_value());
	EXPECT_EQ(inserted->GetInt32("job_id", 0), jobId);
	EXPECT_STREQ(inserted->GetString("title", ""), "Home");
	int32 date = 0;
	EXPECT_EQ(inserted->FindTime("date", &date), B_OK);
	EXPECT_EQ(date, kNow + kHour);
	EXPECT_EQ(inserted->GetInt32("job_type", 0), kJobFullBackup);
	EXPECT_EQ(inserted->GetInt32("jobstatus", 0), kJobWaiting);

	// Refused with the reason, and nothing queued.
	BMessage noSchedule(kMsgJobAdd);
	noSchedule.AddInt32("job_type", kJobFullBackup);
	BMessage wrongTimeType = JobRequest("No time", 0);
	BMessage schedule;
	schedule.AddInt32("TIME", kNow);
	wrongTimeType.ReplaceMessage("scheduler", &schedule);
	struct Refusal {
		BMessage request;
		const char* error;
	};
	for (const Refusal& refusal : {Refusal{noSchedule, "the job has no start time"},
			Refusal{wrongTimeType, "the job has no start time"},
			Refusal{JobRequest("Odd", kNow, 9), "job type 9 is unknown"},
			Refusal{JobRequest("Compare", kNow, kJobCompare),
				"this server has no worker for jobs of type 5"}}) {
		BMessage reply = Request(refusal.request);
		EXPECT_EQ(reply.what, uint32(kMsgJobRefused)) << refusal.error;
		EXPECT_STREQ(reply.GetString("error", ""), refusal.error);
	}
	EXPECT_EQ(fServer->Queue().Jobs().size(), 1u);

	BMessage onHold = JobRequest(nullptr, kNow);
	BMessage startInfo;
	startInfo.AddInt32("submitonhold", 1);
	onHold.ReplaceMessage("start_info", &startInfo);
	int32 heldId = Request(onHold).GetInt32("job_id", 0);
	ASSERT_NE(heldId, 0);
	ASSERT_TRUE(client.Inbox().Await(kMsgJobInserted, kPatience, ForJob(heldId)).has_value());
	StopServer();

	EXPECT_EQ(Slot(heldId), 1);
	EXPECT_EQ(State(heldId), kJobPaused);
	EXPECT_EQ(OldState(heldId), kJobWaiting);
	BMessage record = *fServer->Queue().FindJob(heldId);
	ASSERT_EQ(record.FindMessage("start_info", &startInfo), B_OK);
	EXPECT_STREQ(startInfo.GetString("title", ""), "-- no title --");
	EXPECT_FALSE(startInfo.HasData("submitonhold", B_INT32_TYPE));
	EXPECT_EQ(record.GetInt32("job_id", 0), heldId);
	EXPECT_EQ(record.what, uint32(kMsgJobAdd));
	EXPECT_EQ(client.Inbox().Count(kMsgJobInserted), 2);

	// Saved as soon as it was accepted.
	std::vector<BMessage> saved = JobList();
	ASSERT_EQ(saved.size(), 2u);
	EXPECT_EQ(saved[1].GetInt32("job_id", 0), heldId);

	// The pulse does not start a held job; continuing makes it Waiting.
	fServer->Pulse();
	EXPECT_TRUE(fWorkerTypes.empty());
	Handle(kMsgJobContinue, WithJob(heldId));
	EXPECT_EQ(State(heldId), kJobWaiting);
	EXPECT_EQ(OldState(heldId), kJobPaused);
	std::optional<BMessage> changed = client.Inbox().Await(kMsgJobChanged, kPatience,
		ForJob(heldId));
	ASSERT_TRUE(changed.has_value());
	EXPECT_EQ(changed->GetInt32("jobstatus", 0), kJobWaiting);
	EXPECT_EQ(changed->GetInt32("oldjobstatus", 0), kJobPaused);
	// Continuing a Waiting job is no change.
	Handle(kMsgJobContinue, WithJob(heldId));
	EXPECT_EQ(OldState(heldId), kJobPaused);
}

TEST_F(JobQueueTest, LongTitlesAreCut)
{
	MessageRecorder client("client");
	CreateQueueServer();
	AddClient(51, client.Messenger());
	RunServer();

	// A title of 4,000 bytes is cut to what a catalogue's attributes hold,
	// at a character's end.
	std::string longTitle = "\xc3\xa9" + std::string(3998, 't');
	longTitle[254] = '\xc3';
	longTitle[255] = '\xa9';
	int32 longId = Request(JobRequest(longTitle.c_str(), kNow + kHour)).GetInt32("job_id", 0);
	ASSERT_NE(longId, 0);
	std::optional<BMessage> longInserted = client.Inbox().Await(kMsgJobInserted, kPatience,
		ForJob(longId));
	ASSERT_TRUE(longInserted.has_value());
	EXPECT_EQ(std::string(longInserted->GetString("title", "")), longTitle.substr(0, 254));
	StopServer();
	BMessage startInfo;
	ASSERT_EQ(fServer->Queue().FindJob(longId)->FindMessage("start_info", &startInfo), B_OK);
	EXPECT_EQ(std::string(startInfo.GetString("title", "")), longTitle.substr(0, 254));
}

// The pulse starts a due Waiting job: the worker of its type is made, the
// report server gives the report id, every client is told and may answer
// with a status view, and the worker gets its subscribers and the start
// message. Jobs not yet due, held or edited stay where they are.
TEST_F(JobQueueTest, PulseStartsDueJobs)
{
	MessageRecorder plainClient("plain client");
	CreateQueueServer();
	AddViewingClient(51);
	AddClient(52, plainClient.Messenger());

	int32 due = Add(JobRequest("Due", kNow - 10, 4));
	int32 later = Add(JobRequest("Later", kNow + 10));
	int32 edited = Add(JobRequest("Edited", kNow - 10));
	Handle(kMsgJobEdit, [&] { BMessage m = WithJob(edited); m.AddInt32("edit", 1); return m; }());
	ASSERT_EQ(State(edited), kJobEdit);
	fServer->Queue().FindJob(due)->AddInt32("client_id", 52);
	fServer->Queue().FindJob(due)->AddInt32("client_id", 999);

	fServer->Pulse();
	ASSERT_EQ(fWorkerTypes, std::vector<int32>{4});
	EXPECT_EQ(State(due), kJobRunning);
	EXPECT_EQ(OldState(due), kJobWaiting);
	EXPECT_EQ(State(later), kJobWaiting);
	EXPECT_EQ(State(edited), kJobEdit);
	BMessenger worker = Worker(due);
	ASSERT_TRUE(worker.IsValid());

	// The report store opened a report for the job.
	int32 reportId = fServer->Queue().FindJob(due)->GetInt32("report_id", 0);
	EXPECT_NE(reportId, 0);

	std::optional<BMessage> told = fViewingClient.Inbox().Await(kMsgJobStart, 0);
	ASSERT_TRUE(told.has_value());
	EXPECT_EQ(told->GetInt32("job_id", 0), due);
	EXPECT_TRUE(plainClient.Inbox().Await(kMsgJobStart, kPatience).has_value());

	std::optional<BMessage> subscription = fWorkerInbox.Await(kMsgSubscribe, kPatience);
	ASSERT_TRUE(subscription.has_value());
	BMessenger user;
	ASSERT_EQ(subscription->FindMessenger("user", 0, &user), B_OK);
	EXPECT_EQ(user, fServer->ReportServer());
	ASSERT_EQ(subscription->FindMessenger("user", 1, &user), B_OK);
	EXPECT_EQ(user, fView.Messenger());
	EXPECT_NE(subscription->FindMessenger("user", 2, &user), B_OK);

	std::optional<BMessage> start = fWorkerInbox.Await(kMsgJobStart, kPatience);
	ASSERT_TRUE(start.has_value());
	EXPECT_EQ(start->GetInt32("job_id", 0), due);
	EXPECT_EQ(start->GetInt32("report_id", 0), reportId);
	ASSERT_EQ(start->FindMessenger("user", &user), B_OK);
	EXPECT_EQ(user, fView.Messenger());
	// The start message comes after the subscribers.
	std::vector<BMessage> received = fWorkerInbox.Messages();
	ASSERT_GE(received.size(), 2u);
	EXPECT_EQ(received[0].what, uint32(kMsgSubscribe));

	// A second pulse starts nothing more.
	fServer->Pulse();
	EXPECT_EQ(fWorkerTypes.size(), 1u);
}

// A client whose process is stopped is not waited for when a job starts: it
// is asked nothing, the job starts with the views of the others, and the
// next pulse drops the client, which gets no more notices.
TEST_F(JobQueueTest, StoppedClientsAreNotWaitedFor)
{
	MessageRecorder stopped("stopped client");
	CreateQueueServer();
	AddViewingClient(51);
	AddClient(53, stopped.Messenger());
	fLink.Stop(53);
	int32 due = Add(JobRequest("Due", kNow - 10, 4));
	fServer->Queue().FindJob(due)->AddInt32("client_id", 53);

	fServer->Pulse();
	EXPECT_EQ(State(due), kJobRunning);
	std::optional<BMessage> subscription = fWorkerInbox.Await(kMsgSubscribe, kPatience);
	ASSERT_TRUE(subscription.has_value());
	BMessenger user;
	EXPECT_EQ(subscription->FindMessenger("user", 1, &user), B_OK);
	EXPECT_EQ(user, fView.Messenger());
	EXPECT_EQ(stopped.Inbox().Count(kMsgJobStart), 0);

	fServer->Pulse();
	EXPECT_FALSE(fServer->Clients().Contains(53));
	EXPECT_TRUE(fServer->Clients().Contains(51));
	EXPECT_NE(ReadLog().find("Client 53 does not take its messages; it is dropped"),
		std::string::npos) << ReadLog();
	const BMessage* record = fServer->Queue().FindJob(due);
	EXPECT_EQ(record->GetInt32("client_id", 0, 0), 51);
	EXPECT_FALSE(record->HasData("client_id", B_INT32_TYPE, 1));
}

// Without a worker the job stays Waiting and is offered again at every pulse,
// with no notice to the clients until it starts. A job whose type this
// server has no worker for (from another server's job list) stays queued,
// said once in the log.
TEST_F(JobQueueTest, JobsWithoutWorkerStayWaiting)
{
	MessageRecorder client("client");
	CreateQueueServer(false, true);
	AddClient(51, client.Messenger());
	int32 jobId = Add(JobRequest("No engine", kNow - 1, 2));
	int32 compare = Add(JobRequest("Compare", kNow - 1, kJobCompare));
	ASSERT_NE(compare, 0);
	fServer->Pulse();
	fServer->Pulse();
	EXPECT_EQ(State(jobId), kJobWaiting);
	EXPECT_FALSE(Worker(jobId).IsValid());
	ASSERT_TRUE(fServer->Clients().Flush(kPatience));
	EXPECT_EQ(client.Inbox().Count(kMsgJobChanged), 0);
	// Starting prepared it as a backup all the same.
	int32 archiveTime = -1;
	EXPECT_EQ(fServer->Queue().FindJob(jobId)->FindTime("archive_time", &archiveTime), B_OK);
	EXPECT_EQ(archiveTime, 0);
	fServer.reset();

	CreateQueueServer();
	fServer->Pulse();
	fServer->Pulse();
	// The job of the first server gets its worker now.
	EXPECT_EQ(fWorkerTypes, std::vector<int32>{2});
	EXPECT_EQ(State(compare), kJobWaiting);
	std::string log = ReadLog();
	std::string told = "Job " + std::to_string(compare) + " is of type 5, which this server "
		"has no worker for; it stays queued.";
	size_t first = log.find(told);
	EXPECT_NE(first, std::string::npos) << log;
	EXPECT_EQ(log.find(told, first + 1), std::string::npos) << "told once";
}

// When its worker ends, a job without repetition is removed and announced
// as removed; a repeating one waits for its next time. An hourly job after
// ten hours down runs once and returns to its own grid; a job started early
// keeps its date; a job on no allowed weekday ends.
TEST_F(JobQueueTest, FinishedJobsAreRescheduledOrRemoved)
{
	MessageRecorder client("client");
	CreateQueueServer();
	AddClient(51, client.Messenger());

	int32 once = Add(JobRequest("Once", kNow - 5));
	int32 date = kNow - 10 * kHour - 20 * 60;
	int32 hourly = Add(JobRequest("Hourly", date, 1, Hourly()));
	BMessage never;
	never.AddInt32("Days", 1);
	for (const char* day : {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
			"Saturday"}) {
		never.AddBool(day, true);
	}
	int32 noDay = Add(JobRequest("No day", kNow - 5, 1, never));
	int32 early = Add(JobRequest("Early", kNow + 5 * kHour, 1, Hourly()));

	fServer->Pulse();
	EXPECT_EQ(fWorkerTypes.size(), 3u);
	Handle(kMsgJobBegin, WithJob(early));
	EXPECT_EQ(State(early), kJobRunning);
	ASSERT_TRUE(client.Inbox().Await(kMsgJobChanged, kPatience, ForJob(early)).has_value());

	FinishJob(once);
	EXPECT_EQ(Slot(once), -1);
	EXPECT_TRUE(client.Inbox().Await(kMsgJobRemoved, kPatience, ForJob(once)).has_value());

	fNow += 30;
	FinishJob(hourly);
	EXPECT_EQ(State(hourly), kJobWaiting);
	EXPECT_EQ(OldState(hourly), 0);
	EXPECT_EQ(Date(hourly), date + 11 * kHour);
	EXPECT_FALSE(Worker(hourly).IsValid());
	BMessage* record = fServer->Queue().FindJob(hourly);
	int32 lastStart = 0;
	EXPECT_EQ(record->FindTime("last_start", &lastStart), B_OK);
	EXPECT_EQ(lastStart, date);
	BMessage schedule;
	ASSERT_EQ(record->FindMessage("scheduler", &schedule), B_OK);
	int32 time = 0;
	EXPECT_EQ(schedule.FindTime("TIME", &time), B_OK);
	EXPECT_EQ(time, date + 11 * kHour);
	EXPECT_EQ(schedule.GetInt32("Hours", 0), 1);
	std::optional<BMessage> changed = client.Inbox().Await(kMsgJobChanged, kPatience,
		[&](const BMessage& message) {
			int32 when = 0;
			return message.GetInt32("job_id", 0) == hourly
				&& message.FindTime("date", &when) == B_OK && when == date + 11 * kHour;
		});
	ASSERT_TRUE(changed.has_value());
	EXPECT_EQ(changed->GetInt32("jobstatus", 0), kJobWaiting);

	FinishJob(noDay);
	EXPECT_EQ(Slot(noDay), -1);
	EXPECT_TRUE(client.Inbox().Await(kMsgJobRemoved, kPatience, ForJob(noDay)).has_value());

	FinishJob(early);
	EXPECT_EQ(State(early), kJobWaiting);
	EXPECT_EQ(Date(early), kNow + 5 * kHour);

	// An aborted run is rescheduled, but the next one still saves what
	// changed since the last run that finished.
	fNow = date + 11 * kHour + 60;
	fServer->Pulse();
	FinishJob(hourly, kJobEndedAborted);
	EXPECT_EQ(Date(hourly), date + 12 * kHour);
	lastStart = 0;
	EXPECT_EQ(fServer->Queue().FindJob(hourly)->FindTime("last_start", &lastStart), B_OK);
	EXPECT_EQ(lastStart, date);
	// One that ended with errors finished: it moves the base on.
	fNow = date + 12 * kHour + 60;
	fServer->Pulse();
	FinishJob(hourly, kJobEndedWithErrors);
	EXPECT_EQ(fServer->Queue().FindJob(hourly)->FindTime("last_start", &lastStart), B_OK);
	EXPECT_EQ(lastStart, date + 12 * kHour);

	// What stays queued is what the file holds.
	std::vector<BMessage> saved = JobList();
	ASSERT_EQ(saved.size(), 2u);
	EXPECT_EQ(saved[0].GetInt32("job_id", 0), hourly);
	ASSERT_EQ(saved[0].FindMessage("scheduler", &schedule), B_OK);
	EXPECT_EQ(schedule.FindTime("TIME", &time), B_OK);
	EXPECT_EQ(time, date + 13 * kHour);

	// A finished job that the queue does not know changes nothing.
	int32 countBefore = client.Inbox().CountAll();
	Handle(kMsgJobFinished, WithJob(12345));
	EXPECT_EQ(client.Inbox().CountAll(), countBefore);
}

// Pausing and continuing a running job reaches its worker and keeps it
// Running, so no pulse starts it twice; aborting keeps the job queued,
// deleting removes it and ends its worker.
TEST_F(JobQueueTest, PauseContinueAbortAndDelete)
{
	MessageRecorder client("client");
	CreateQueueServer();
	AddClient(51, client.Messenger());
	int32 jobId = Add(JobRequest("Running", kNow));
	fServer->Pulse();
	ASSERT_EQ(State(jobId), kJobRunning);
	BMessenger worker = Worker(jobId);

	Handle(kMsgJobPause, WithJob(jobId));
	EXPECT_EQ(State(jobId), kJobPaused);
	EXPECT_EQ(OldState(jobId), kJobRunning);
	EXPECT_TRUE(fWorkerInbox.Await(kMsgJobPause, kPatience).has_value());
	EXPECT_FALSE(fServer->Queue().JobPause(jobId));
	// Saved paused, it comes back Paused.
	EXPECT_EQ(JobList().size(), 1u);

	Handle(kMsgJobContinue, WithJob(jobId));
	EXPECT_EQ(State(jobId), kJobRunning);
	EXPECT_TRUE(fWorkerInbox.Await(kMsgJobContinue, kPatience).has_value());
	Handle(kMsgJobContinue, WithJob(jobId));
	EXPECT_EQ(State(jobId), kJobRunning);
	fServer->Pulse();
	EXPECT_EQ(fWorkerTypes.size(), 1u);

	BMessage abort = WithJob(jobId);
	abort.AddInt32("flag", 1);
	Handle(kMsgJobDelete, abort);
	EXPECT_TRUE(fWorkerInbox.Await(kMsgJobDelete, kPatience).has_value());
	EXPECT_EQ(Slot(jobId), 0);
	EXPECT_TRUE(AwaitCondition([&] { return !worker.IsValid(); }, kPatience));

	// Without a live worker, continuing a paused job makes it Waiting.
	EXPECT_TRUE(fServer->Queue().JobPause(jobId));
	EXPECT_TRUE(fServer->Queue().JobContinue(jobId));
	EXPECT_EQ(State(jobId), kJobWaiting);
	fServer->Pulse();
	ASSERT_EQ(fWorkerTypes.size(), 2u);
	BMessenger second = Worker(jobId);
	fWorkerInbox.Clear();

	Handle(kMsgJobDelete, WithJob(jobId));
	EXPECT_EQ(Slot(jobId), -1);
	EXPECT_EQ(fServer->Queue().FindJob(jobId), nullptr);
	EXPECT_TRUE(fWorkerInbox.Await(kMsgJobDelete, kPatience).has_value());
	EXPECT_TRUE(client.Inbox().Await(kMsgJobRemoved, kPatience, ForJob(jobId)).has_value());
	EXPECT_TRUE(JobList().empty());
	EXPECT_TRUE(AwaitCondition([&] { return !second.IsValid(); }, kPatience));
	// The index keeps no trace of the slot.
	BMessage index;
	fServer->Queue().JobList(&index);
	EXPECT_EQ(index.CountNames(B_ANY_TYPE), 0);

	// Unknown jobs: nothing happens, nothing is announced.
	int32 countBefore = client.Inbox().CountAll();
	EXPECT_FALSE(fServer->Queue().JobPause(jobId));
	EXPECT_FALSE(fServer->Queue().JobContinue(jobId));
	EXPECT_FALSE(fServer->Queue().JobRem(jobId));
	Handle(kMsgJobDelete, WithJob(jobId));
	EXPECT_EQ(client.Inbox().CountAll(), countBefore);
}

// Editing holds a job out of the pulse and leaves it in its old state;
// replacing a record updates the index and, with a start time, is
// announced and saved.
TEST_F(JobQueueTest, EditAndReplace)
{
	MessageRecorder client("client");
	CreateQueueServer();
	AddClient(51, client.Messenger());
	int32 jobId = Add(JobRequest("Edited", kNow - 1));
	int32 other = Add(JobRequest("Other", kNow + kHour));
	auto edit = [&](int32 id, int32 value) {
		BMessage message = WithJob(id);
		message.AddInt32("edit", value);
		Handle(kMsgJobEdit, message);
	};

	ASSERT_TRUE(fServer->Queue().JobPause(jobId));
	edit(jobId, 1);
	EXPECT_EQ(State(jobId), kJobEdit);
	EXPECT_EQ(OldState(jobId), kJobPaused);
	ASSERT_TRUE(client.Inbox().Await(kMsgJobChanged, kPatience, [&](const BMessage& m) {
		return m.GetInt32("job_id", 0) == jobId && m.GetInt32("jobstatus", 0) == kJobEdit;
	}).has_value());
	// A second editor is refused.
	EXPECT_FALSE(fServer->Queue().JobEdit(jobId, 1));
	fServer->Pulse();
	EXPECT_TRUE(fWorkerTypes.empty());
	// While it is edited no client deletes or pauses it.
	Handle(kMsgJobDelete, WithJob(jobId));
	EXPECT_FALSE(fServer->Queue().JobPause(jobId));
	EXPECT_EQ(State(jobId), kJobEdit);
	edit(jobId, 0);
	EXPECT_EQ(State(jobId), kJobPaused);
	EXPECT_EQ(OldState(jobId), kJobEdit);
	EXPECT_FALSE(fServer->Queue().JobEdit(jobId, 0));
	EXPECT_EQ(OldState(jobId), kJobEdit);
	EXPECT_TRUE(AwaitCondition([&] { return client.Inbox().Count(kMsgJobChanged) == 2; },
		kPatience));

	BMessage data = *fServer->Queue().FindJob(other);
	data.AddString("title", "Renamed");
	data.ReplaceInt32("job_type", kJobCompare);
	data.ReplaceInt32("job_id", 1);
	BMessage schedule;
	schedule.AddTime("TIME", kNow + 2 * kHour);
	data.ReplaceMessage("scheduler", &schedule);
	data.what = 'xxxx';
	BMessage replace = WithJob(other);
	replace.AddMessage("job_data", &data);
	Handle(kMsgJobSet, replace);
	EXPECT_STREQ(Queued(other).title.c_str(), "Renamed");
	EXPECT_EQ(Queued(other).type, 5);
	EXPECT_EQ(Date(other), kNow + 2 * kHour);
	EXPECT_EQ(fServer->Queue().FindJob(other)->GetInt32("job_id", 0), other);
	EXPECT_EQ(fServer->Queue().FindJob(other)->what, uint32(kMsgJobAdd));
	EXPECT_TRUE(client.Inbox().Await(kMsgJobChanged, kPatience, ForJob(other)).has_value());
	std::vector<BMessage> saved = JobList();
	ASSERT_EQ(saved.size(), 2u);
	EXPECT_STREQ(saved[1].GetString("title", ""), "Renamed");

	// Without a start time only the record and the index change.
	data.RemoveName("scheduler");
	data.ReplaceString("title", "Quiet");
	replace.ReplaceMessage("job_data", &data);
	Handle(kMsgJobSet, replace);
	EXPECT_STREQ(Queued(other).title.c_str(), "Quiet");
	EXPECT_EQ(Date(other), kNow + 2 * kHour);
	EXPECT_STREQ(JobList()[1].GetString("title", ""), "Renamed");
	Handle(kMsgJobSet, WithJob(other));
	EXPECT_STREQ(Queued(other).title.c_str(), "Quiet");
}

// Incremental and differential backups follow their base job: its
// selection, and changes since its last start (for incremental ones, or
// since their own last start when that is later).
TEST_F(JobQueueTest, BackupsFollowTheirBaseJob)
{
	CreateQueueServer();
	int32 base = Add(JobRequest("Full", kNow + kHour));
	BMessage selection;
	selection.AddString("INCLUDE", "/boot/home");
	fServer->Queue().FindJob(base)->AddMessage("selection", &selection);
	fServer->Queue().FindJob(base)->AddTime("last_start", 5000);

	BMessage incremental = JobRequest("Incremental", kNow + kHour, 2);
	incremental.AddInt32("base_id", base);
	incremental.AddTime("last_start", 7000);
	BMessage differential = JobRequest("Differential", kNow + kHour, 3);
	differential.AddInt32("base_id", base);
	differential.AddTime("last_start", 7000);
	BMessage orphan = JobRequest("Orphan", kNow + kHour, 2);
	orphan.AddInt32("base_id", 424242);

	struct Case {
		BMessage request;
		int32 archiveTime;
		bool hasSelection;
	} cases[] = {{incremental, 7000, true}, {differential, 5000, true}, {orphan, 0, false}};
	for (Case& item : cases) {
		BMessage record = item.request;
		fServer->Queue().PrepareBackupJob(&record);
		int32 archiveTime = -1;
		EXPECT_EQ(record.FindTime("archive_time", &archiveTime), B_OK);
		EXPECT_EQ(archiveTime, item.archiveTime);
		BMessage copied;
		EXPECT_EQ(record.FindMessage("selection", &copied) == B_OK, item.hasSelection);
		if (item.hasSelection) {
			EXPECT_STREQ(copied.GetString("INCLUDE", ""), "/boot/home");
		}
	}
	// The base's own start is the later one for an incremental job that
	// ran before it.
	incremental.ReplaceTime("last_start", 1000);
	fServer->Queue().PrepareBackupJob(&incremental);
	int32 archiveTime = 0;
	EXPECT_EQ(incremental.FindTime("archive_time", &archiveTime), B_OK);
	EXPECT_EQ(archiveTime, 5000);
}

// The queue survives a restart: a running job comes back Waiting, one
// edited while paused comes back Paused, the worker and the clients of the
// old process are forgotten.
TEST_F(JobQueueTest, QueueSurvivesARestart)
{
	MessageRecorder client("client");
	CreateQueueServer();
	AddClient(51, client.Messenger());
	int32 running = Add(JobRequest("Running", kNow - 1));
	int32 edited = Add(JobRequest("Edited", kNow + kHour));
	int32 held = Add(JobRequest("Held", kNow + kHour, kJobRestore));
	fServer->Pulse();
	ASSERT_EQ(State(running), kJobRunning);
	ASSERT_TRUE(fServer->Queue().JobPause(edited));
	BMessage edit = WithJob(edited);
	edit.AddInt32("edit", 1);
	Handle(kMsgJobEdit, edit);
	ASSERT_TRUE(fServer->Queue().JobPause(held));
	QuitWorkers();
	fServer.reset();

	CreateQueueServer();
	EXPECT_EQ(Slot(running), 0);
	EXPECT_EQ(State(running), kJobWaiting);
	EXPECT_EQ(State(edited), kJobPaused);
	EXPECT_EQ(State(held), kJobPaused);
	EXPECT_EQ(Queued(held).type, kJobRestore);
	EXPECT_STREQ(Queued(held).title.c_str(), "Held");
	EXPECT_EQ(Date(held), kNow + kHour);
	EXPECT_FALSE(Worker(running).IsValid());
	EXPECT_FALSE(fServer->Queue().FindJob(running)->HasData("client_id", B_INT32_TYPE));
	// A client registering now is a client of every job, once.
	AddClient(53, client.Messenger());
	AddClient(53, client.Messenger());
	type_code type;
	int32 count = 0;
	ASSERT_EQ(fServer->Queue().FindJob(held)->GetInfo("client_id", &type, &count), B_OK);
	EXPECT_EQ(count, 1);
	// And it runs again.
	fServer->Pulse();
	EXPECT_EQ(State(running), kJobRunning);
}

// A damaged job list gives an empty queue; the file is kept aside, the log
// says so, and the next save does not touch it.
TEST_F(JobQueueTest, DamagedJobListIsKeptAside)
{
	const std::string damaged = std::string(MVJobListFile::kFileName) + ".damaged";
	struct Case {
		const char* what;
		std::string content;
	} cases[] = {
		{"empty", ""},
		{"short header", "MVJOBLST"},
		{"another kind", "MVREPORT" + std::string(200, '\0')},
		{"corrupt", "MVJOBLST" + std::string(92, '\0') + std::string(300, 'x')},
	};
	for (const Case& item : cases) {
		SCOPED_TRACE(item.what);
		fFolder.WriteFile("Backup_Server/" + std::string(MVJobListFile::kFileName), item.content);
		CreateQueueServer();
		EXPECT_TRUE(fServer->Queue().Jobs().empty());
		EXPECT_EQ(ReadWholeFile(NativePath(damaged)), item.content);
		EXPECT_FALSE(ReadWholeFile(NativePath(MVJobListFile::kFileName)).has_value());
		EXPECT_NE(ReadLog().find("kept as " + damaged), std::string::npos);

		Add(JobRequest("New", kNow + kHour));
		EXPECT_EQ(JobList().size(), 1u);
		EXPECT_EQ(ReadWholeFile(NativePath(damaged)), item.content);
		fServer.reset();
	}
	// A missing file is no damage.
	ASSERT_EQ(unlink(NativePath(MVJobListFile::kFileName).c_str()), 0);
	ASSERT_EQ(unlink(NativePath(damaged).c_str()), 0);
	CreateQueueServer();
	EXPECT_FALSE(ReadWholeFile(NativePath(damaged)).has_value());
}
