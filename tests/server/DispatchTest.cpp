// How the server application routes the messages of its protocol: status
// view subscriptions, messages for a job's worker, report requests, the
// requests it answers, and what it does with names from other processes.

#include <app/Looper.h>

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
	MessageRecorder worker("worker");
	MessageRecorder firstView("first view");
	MessageRecorder secondView("second view");
	CreateServer();
	MVServerTester tester = Tester();
	tester.AddJob(42, JobRecord("Home"), worker.Messenger(), kJobRunning);

	for (MessageRecorder* view : {&firstView, &secondView}) {
		BMessage request = WithJob(42);
		request.AddMessenger("user", view->Messenger());
		Handle(kMsgSubscribe, request);
	}

	BMessenger user;
	ASSERT_EQ(tester.Job(42)->FindMessenger("user", 0, &user), B_OK);
	EXPECT_EQ(user, firstView.Messenger());
	ASSERT_EQ(tester.Job(42)->FindMessenger("user", 1, &user), B_OK);
	EXPECT_EQ(user, secondView.Messenger());

	std::optional<BMessage> record = secondView.Inbox().Await(kMsgJobRecord, kPatience);
	ASSERT_TRUE(record.has_value());
	EXPECT_EQ(record->GetInt32("job_type", 0), kJobFullBackup);
	BMessage startInfo;
	ASSERT_EQ(record->FindMessage("start_info", &startInfo), B_OK);
	EXPECT_STREQ(startInfo.GetString("title", ""), "Home");
	EXPECT_FALSE(record->HasData("user", B_MESSENGER_TYPE));

	std::optional<BMessage> forwarded = worker.Inbox().Await(kMsgSubscribe, kPatience,
		[&](const BMessage& message) {
			BMessenger view;
			return message.FindMessenger("user", &view) == B_OK
				&& view == secondView.Messenger();
		});
	ASSERT_TRUE(forwarded.has_value());
	EXPECT_EQ(forwarded->GetInt32("job_id", 0), 42);
	Drain(worker);
	EXPECT_EQ(worker.Inbox().Count(kMsgSubscribe), 2);
}

// A subscription to an unknown job, or without a view, changes nothing and
// reaches nobody.
TEST_F(DispatchTest, IncompleteSubscriptionsAreDropped)
{
	MessageRecorder worker("worker");
	MessageRecorder view("view");
	CreateServer();
	MVServerTester tester = Tester();
	tester.AddJob(42, JobRecord("Home"), worker.Messenger(), kJobRunning);

	BMessage unknownJob = WithJob(43);
	unknownJob.AddMessenger("user", view.Messenger());
	Handle(kMsgSubscribe, unknownJob);
	Handle(kMsgSubscribe, WithJob(42));

	EXPECT_FALSE(tester.Job(42)->HasData("user", B_MESSENGER_TYPE));
	Drain(worker);
	Drain(view);
	EXPECT_EQ(worker.Inbox().CountAll(), 1);
	EXPECT_EQ(view.Inbox().CountAll(), 1);
}

// A message the server does not know goes to the worker of the job it names,
// unchanged; without a live worker it is not the server's to take.
TEST_F(DispatchTest, UnknownCodesGoToTheJobsWorker)
{
	MessageRecorder worker("worker");
	MessageRecorder ended("ended worker");
	CreateServer();
	MVServerTester tester = Tester();
	tester.AddJob(42, JobRecord("Running"), worker.Messenger(), kJobRunning);
	tester.AddJob(43, JobRecord("Ended"), ended.Messenger(), kJobRunning);
	tester.AddJob(44, JobRecord("Waiting"));
	ended.Quit();

	BMessage forWorker = WithJob(42);
	forWorker.what = kUnknownCode;
	forWorker.AddString("text", "pass on");
	EXPECT_TRUE(fServer->PostToolServer(&forWorker));
	std::optional<BMessage> received = worker.Inbox().Await(kUnknownCode, kPatience);
	ASSERT_TRUE(received.has_value());
	EXPECT_STREQ(received->GetString("text", ""), "pass on");

	for (int32 jobId : {43, 44, 45, 0}) {
		BMessage message = WithJob(jobId);
		message.what = kUnknownCode;
		EXPECT_FALSE(fServer->PostToolServer(&message)) << "job " << jobId;
	}
	BMessage withoutJob(kUnknownCode);
	EXPECT_FALSE(fServer->PostToolServer(&withoutJob));

	// Aborting a job is a message to its worker through the same path.
	EXPECT_TRUE(fServer->JobAbort(42));
	EXPECT_TRUE(worker.Inbox().Await(kMsgJobDelete, kPatience).has_value());
	EXPECT_FALSE(fServer->JobAbort(44));
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

// The job list is the index without subscribers; a job record is answered
// as it is kept, an unknown job not at all.
TEST_F(DispatchTest, JobRequestsAreAnsweredFromTheQueue)
{
	CreateServer();
	MVServerTester tester = Tester();
	tester.AddJob(42, JobRecord("First"), BMessenger(), kJobWaiting, 1000);
	tester.AddJob(43, JobRecord("Second"), BMessenger(), kJobPaused, 2000);
	tester.JobIndex().AddMessenger("user", BMessenger(fServer.get()));
	RunServer();

	BMessage list = Request(BMessage(kMsgJobList));
	EXPECT_EQ(list.GetInt32("job_id", 0, 0), 42);
	EXPECT_EQ(list.GetInt32("job_id", 1, 0), 43);
	EXPECT_STREQ(list.GetString("title", 1, ""), "Second");
	EXPECT_EQ(list.GetInt32("jobstatus", 1, 0), kJobPaused);
	int32 date = 0;
	EXPECT_EQ(list.FindTime("date", 1, &date), B_OK);
	EXPECT_EQ(date, 2000);
	EXPECT_FALSE(list.HasData("user", B_MESSENGER_TYPE));

	BMessage get = WithJob(43);
	get.what = kMsgJobGet;
	BMessage record = Request(get);
	EXPECT_EQ(record.what, uint32('MVJA'));
	BMessage startInfo;
	ASSERT_EQ(record.FindMessage("start_info", &startInfo), B_OK);
	EXPECT_STREQ(startInfo.GetString("title", ""), "Second");

	BMessage unknown = WithJob(44);
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
