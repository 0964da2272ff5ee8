// How the server application routes the messages of its protocol: status
// view subscriptions, messages for a job's worker, report requests, the
// requests it answers, and what it does with names from other processes.

#include <app/Looper.h>

#include "AwaitCondition.h"
#include "CatalogueBrowse.h"
#include "InProcessServer.h"
#include "MVReportServer.h"
#include "MessageRecorder.h"

namespace {

constexpr uint32 kUnknownCode = 'zzzz';

class DispatchTest : public InProcessServer {
protected:
	static BMessage WithJob(int32 jobId)
	{
		BMessage message;
		message.AddInt32("job_id", jobId);
		return message;
	}

	static BMessage JobRecord(const char* title)
	{
		BMessage record('MVJA');
		record.AddInt32("job_type", kJobFullBackup);
		BMessage startInfo;
		startInfo.AddString("title", title);
		record.AddMessage("start_info", &startInfo);
		return record;
	}

	static void Drain(MessageRecorder& recorder)
	{
		BMessage marker('mark');
		ASSERT_EQ(recorder.Messenger().SendMessage(&marker), B_OK);
		ASSERT_TRUE(recorder.Inbox().Await('mark', kPatience).has_value());
	}
};

}	// namespace

// A subscription adds the status view to the job record, sends the view the
// record without its subscribers, and passes the request on to the worker.
TEST_F(DispatchTest, SubscriptionReachesRecordViewAndWorker)
{
	MessageRecorder firstView("first view");
	MessageRecorder secondView("second view");
	CreateServer();
	int32 jobId = StartJob(JobRecord("Home"));

	for (MessageRecorder* view : {&firstView, &secondView}) {
		BMessage request = WithJob(jobId);
		request.AddMessenger("user", view->Messenger());
		Handle(kMsgSubscribe, request);
	}

	BMessage* kept = fServer->Queue().FindJob(jobId);
	BMessenger user;
	ASSERT_EQ(kept->FindMessenger("user", 0, &user), B_OK);
	EXPECT_EQ(user, firstView.Messenger());
	ASSERT_EQ(kept->FindMessenger("user", 1, &user), B_OK);
	EXPECT_EQ(user, secondView.Messenger());

	std::optional<BMessage> record = secondView.Inbox().Await(kMsgJobRecord, kPatience);
	ASSERT_TRUE(record.has_value());
	EXPECT_EQ(record->GetInt32("job_type", 0), kJobFullBackup);
	BMessage startInfo;
	ASSERT_EQ(record->FindMessage("start_info", &startInfo), B_OK);
	EXPECT_STREQ(startInfo.GetString("title", ""), "Home");
	EXPECT_FALSE(record->HasData("user", B_MESSENGER_TYPE));

	auto toView = [](const MessageRecorder& view) {
		return [&view](const BMessage& message) {
			BMessenger subscriber;
			return message.FindMessenger("user", &subscriber) == B_OK
				&& subscriber == view.Messenger();
		};
	};
	std::optional<BMessage> forwarded = fWorkerInbox.Await(kMsgSubscribe, kPatience,
		toView(secondView));
	ASSERT_TRUE(forwarded.has_value());
	EXPECT_EQ(forwarded->GetInt32("job_id", 0), jobId);
	EXPECT_EQ(fWorkerInbox.Count(kMsgSubscribe, toView(firstView)), 1);
}

// A subscription to an unknown job, or without a view, changes nothing and
// reaches nobody.
TEST_F(DispatchTest, IncompleteSubscriptionsAreDropped)
{
	MessageRecorder view("view");
	CreateServer();
	int32 jobId = StartJob(JobRecord("Home"));
	// The worker's start: its subscription by the report server and 'MVJS'.
	ASSERT_TRUE(fWorkerInbox.Await(kMsgJobStart, kPatience).has_value());
	int32 sentAtStart = fWorkerInbox.CountAll();

	BMessage unknownJob = WithJob(jobId + 1);
	unknownJob.AddMessenger("user", view.Messenger());
	Handle(kMsgSubscribe, unknownJob);
	Handle(kMsgSubscribe, WithJob(jobId));

	EXPECT_FALSE(fServer->Queue().FindJob(jobId)->HasData("user", B_MESSENGER_TYPE));
	BMessage marker('mark');
	ASSERT_EQ(WorkerOf(jobId).SendMessage(&marker), B_OK);
	ASSERT_TRUE(fWorkerInbox.Await('mark', kPatience).has_value());
	Drain(view);
	EXPECT_EQ(fWorkerInbox.CountAll(), sentAtStart + 1);
	EXPECT_EQ(view.Inbox().CountAll(), 1);
}

// A message the server does not know goes to the worker of the job it names,
// unchanged; without a live worker it is not the server's to take.
TEST_F(DispatchTest, UnknownCodesGoToTheJobsWorker)
{
	CreateServer();
	int32 running = StartJob(JobRecord("Running"));
	int32 ended = StartJob(JobRecord("Ended"));
	int32 waiting = QueueJob(JobRecord("Waiting"));
	BMessenger endedWorker = WorkerOf(ended);
	ASSERT_EQ(endedWorker.SendMessage(B_QUIT_REQUESTED), B_OK);
	ASSERT_TRUE(AwaitCondition([&] { return !endedWorker.IsValid(); }, kPatience));

	BMessage forWorker = WithJob(running);
	forWorker.what = kUnknownCode;
	forWorker.AddString("text", "pass on");
	EXPECT_TRUE(fServer->Queue().PostToolServer(&forWorker));
	std::optional<BMessage> received = fWorkerInbox.Await(kUnknownCode, kPatience);
	ASSERT_TRUE(received.has_value());
	EXPECT_STREQ(received->GetString("text", ""), "pass on");

	for (int32 jobId : {ended, waiting, waiting + ended + running, 0}) {
		BMessage message = WithJob(jobId);
		message.what = kUnknownCode;
		EXPECT_FALSE(fServer->Queue().PostToolServer(&message)) << "job " << jobId;
	}
	BMessage withoutJob(kUnknownCode);
	EXPECT_FALSE(fServer->Queue().PostToolServer(&withoutJob));

	// Aborting a job is a message to its worker through the same path.
	EXPECT_TRUE(fServer->Queue().JobAbort(running));
	EXPECT_TRUE(fWorkerInbox.Await(kMsgJobDelete, kPatience).has_value());
	EXPECT_FALSE(fServer->Queue().JobAbort(waiting));
}

// A waiting sender of a message that no job's worker takes gets the
// application's "not understood", and the server goes on answering.
TEST_F(DispatchTest, UnknownCodesWithoutWorkerAreNotUnderstood)
{
	CreateServer();
	RunServer();
	BMessage unknown = WithJob(777);
	unknown.what = kUnknownCode;
	EXPECT_EQ(Request(unknown).what, uint32(B_MESSAGE_NOT_UNDERSTOOD));
	EXPECT_EQ(Request(BMessage(kUnknownCode)).what, uint32(B_MESSAGE_NOT_UNDERSTOOD));
	EXPECT_EQ(Request(BMessage(kMsgJobList)).what, 0u);
}

// Report codes reach the report server, and a sender that waits gets the
// report server's own answer through the server.
TEST_F(DispatchTest, ReportRequestsReachTheReportServer)
{
	CreateServer();
	RunServer();

	BMessage create(kMsgReportNew);
	create.AddInt32("job_id", 7);
	create.AddString("title", "Nightly");
	BMessage created = Request(create);
	EXPECT_EQ(created.what, uint32(B_REPLY));
	int32 reportID = created.GetInt32("report_id", 0);
	EXPECT_NE(reportID, 0);

	BMessage policy = Request(BMessage(kMsgReportGetPolicy));
	EXPECT_EQ(policy.what, uint32(MVReportServer::kMsgPolicy));
	EXPECT_TRUE(policy.HasData("mode", B_INT32_TYPE));

	BMessage list = Request(BMessage(kMsgReportGetList));
	EXPECT_EQ(list.what, uint32(B_REPLY));
}

// The job list is the index of the queue; a job record is answered as it
// is kept, an unknown job not at all.
TEST_F(DispatchTest, JobRequestsAreAnsweredFromTheQueue)
{
	CreateServer();
	int32 first = QueueJob(JobRecord("First"), 1000);
	int32 second = QueueJob(JobRecord("Second"), 2000);
	ASSERT_TRUE(fServer->Queue().JobPause(second));
	RunServer();

	BMessage list = Request(BMessage(kMsgJobList));
	EXPECT_EQ(list.GetInt32("job_id", 0, 0), first);
	EXPECT_EQ(list.GetInt32("job_id", 1, 0), second);
	EXPECT_STREQ(list.GetString("title", 1, ""), "Second");
	EXPECT_EQ(list.GetInt32("jobstatus", 1, 0), kJobPaused);
	int32 date = 0;
	EXPECT_EQ(list.FindTime("date", 1, &date), B_OK);
	EXPECT_EQ(date, 2000);

	BMessage get = WithJob(second);
	get.what = kMsgJobGet;
	BMessage record = Request(get);
	EXPECT_EQ(record.what, uint32('MVJA'));
	BMessage startInfo;
	ASSERT_EQ(record.FindMessage("start_info", &startInfo), B_OK);
	EXPECT_STREQ(startInfo.GetString("title", ""), "Second");

	BMessage unknown = WithJob(first + second);
	unknown.what = kMsgJobGet;
	EXPECT_EQ(Request(unknown).what, uint32(B_NO_REPLY));
}

// Catalogue requests get their answers, and a destination scan is sent to
// every client with the request's id.
TEST_F(DispatchTest, CatalogueRequestsAreAnswered)
{
	MessageRecorder client("client");
	fLink.Add(51, client.Messenger());
	CreateServer();
	BMessage registration;
	registration.AddInt32("client_id", 51);
	Handle(kMsgAddClient, registration);
	RunServer();

	BMessage browse(kMsgLogRead);
	browse.AddString("path", "/");
	browse.AddInt32("index", 0);
	browse.AddInt32("subdir", kLogReadChildren);
	EXPECT_EQ(Request(browse).what, uint32(kMsgLogData));
	EXPECT_EQ(Request(BMessage(kMsgLogRead)).what, uint32(kMsgLogData));
	EXPECT_EQ(Request(BMessage(kMsgPasswordCheck)).what, uint32(kMsgPasswordResult));
	EXPECT_EQ(Request(BMessage(kMsgDeleteBackups)).what, uint32(kMsgBackupsDeleted));

	BMessage scan(kMsgVolumeScan);
	scan.AddString("name", "MVImage");
	scan.AddInt32("id", 17);
	ASSERT_EQ(BMessenger(fServer.get()).SendMessage(&scan), B_OK);
	std::optional<BMessage> result = client.Inbox().Await(kMsgVolumeData, kPatience);
	ASSERT_TRUE(result.has_value());
	EXPECT_EQ(result->GetInt32("id", 0), 17);
}

// The catalogue names a worker reports must be plain file names of the
// catalogue folder; others are refused and logged.
TEST_F(DispatchTest, FinishedJobsNameOnlyPlainCatalogueFiles)
{
	CreateServer();
	BMessage finished = WithJob(42);
	for (const char* name : {"../../etc/passwd", "2024010112345678", "a/b", "..", ""})
		finished.AddString("backup_id", name);
	Handle(kMsgJobFinished, finished);

	std::string log = ReadLog();
	EXPECT_NE(log.find("(\"../../etc/passwd\")"), std::string::npos);
	EXPECT_NE(log.find("(\"a/b\")"), std::string::npos);
	EXPECT_NE(log.find("(\"..\")"), std::string::npos);
	EXPECT_NE(log.find("(\"\")"), std::string::npos);
	EXPECT_EQ(log.find("(\"2024010112345678\")"), std::string::npos);
}
