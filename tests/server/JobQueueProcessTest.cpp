// The job queue of real server processes: job records across processes,
// the queue across a restart, and a server killed while it saves its job
// list, which must leave the previous list or the new one, never a broken
// one.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "ChildProcess.h"
#include "MVJobListFile.h"
#include "ServerProtocol.h"
#include "ServerTree.h"
#include "TestClient.h"

namespace {

constexpr bigtime_t kStartPatience = 10000000;
constexpr bigtime_t kPatience = 10000000;
constexpr int32 kKillRounds = 8;

class JobQueueProcessTest : public testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(fTree.IsValid()) << "the installed tree " << MORVANE_DIST_DIR
			<< " cannot be copied";
	}

	std::unique_ptr<ChildProcess> StartServer()
	{
		std::unique_ptr<ChildProcess> server = fTree.StartServer();
		EXPECT_NE(server, nullptr);
		if (server != nullptr) {
			EXPECT_TRUE(AwaitRegistered(server->Pid(), kStartPatience));
		}
		return server;
	}

	static BMessage Request(const BMessenger& server, const BMessage& request)
	{
		BMessage reply;
		EXPECT_EQ(server.SendMessage(&request, &reply, kPatience, kPatience), B_OK);
		return reply;
	}

	// A job due in a day, on hold, with a selection large enough that
	// saving the list takes a while.
	static BMessage JobRequest(const char* title, int32 selectionLines = 0)
	{
		BMessage request(kMsgJobAdd);
		request.AddInt32("job_type", kJobFullBackup);
		request.AddInt32("client_id", current_team());
		BMessage startInfo;
		startInfo.AddString("title", title);
		startInfo.AddInt32("submitonhold", 1);
		request.AddMessage("start_info", &startInfo);
		BMessage schedule;
		schedule.AddTime("TIME", int32(time(nullptr)) + 86400);
		schedule.AddInt32("Days", 1);
		request.AddMessage("scheduler", &schedule);
		BMessage selection;
		for (int32 i = 0; i < selectionLines; i++)
			selection.AddString("INCLUDE", "/boot/home/some/rather/long/path/to/a/file/" + std::to_string(i));
		request.AddMessage("selection", &selection);
		return request;
	}

	std::string JobListPath() const
	{
		return fTree.ServerFolder() + "/" + MVJobListFile::kFileName;
	}

	// The job list as the server left it: kRead and its records, or why
	// it cannot be read.
	int32 ReadJobList(JobTable* jobs) const
	{
		std::optional<std::string> bytes = ReadWholeFile(JobListPath());
		if (!bytes.has_value())
			return MVJobListFile::kNoFile;
		BMemoryIO source(bytes->data(), bytes->size());
		return MVJobListFile::Read(&source, jobs);
	}

	// Declared first, so that the processes started from it end before
	// it is removed.
	ServerTree fTree;
};

}	// namespace

// A client registered twice is named once in the records of its jobs, and
// the queue is there again, held, after the server was restarted.
TEST_F(JobQueueProcessTest, JobsKeepOneClientAndSurviveARestart)
{
	TestClient client;
	client.Start();
	int32 jobId = 0;
	{
		std::unique_ptr<ChildProcess> server = StartServer();
		ASSERT_NE(server, nullptr);
		BMessenger messenger = ServerMessenger(server->Pid());
		ASSERT_EQ(client.Register(messenger), B_OK);
		ASSERT_EQ(client.Register(messenger), B_OK);

		BMessage reply = Request(messenger, JobRequest("Across"));
		ASSERT_EQ(reply.what, uint32(kMsgJobAccepted));
		jobId = reply.GetInt32("job_id", 0);
		ASSERT_NE(jobId, 0);
		ASSERT_TRUE(client.Inbox().Await(kMsgJobInserted, kPatience).has_value());
		EXPECT_EQ(client.Inbox().Count(kMsgJobInserted), 1);

		BMessage get(kMsgJobGet);
		get.AddInt32("job_id", jobId);
		BMessage record = Request(messenger, get);
		ASSERT_EQ(record.what, uint32(kMsgJobAdd));
		type_code type;
		int32 count = 0;
		ASSERT_EQ(record.GetInfo("client_id", &type, &count), B_OK);
		EXPECT_EQ(count, 1);
		EXPECT_EQ(record.GetInt32("client_id", 0), int32(current_team()));
		EXPECT_EQ(server->Terminate(), 0);
	}

	std::unique_ptr<ChildProcess> server = StartServer();
	ASSERT_NE(server, nullptr);
	BMessenger messenger = ServerMessenger(server->Pid());
	ASSERT_EQ(client.Register(messenger), B_OK);
	BMessage list = Request(messenger, BMessage(kMsgJobList));
	EXPECT_EQ(list.GetInt32("job_id", 0, 0), jobId);
	EXPECT_STREQ(list.GetString("title", 0, ""), "Across");
	EXPECT_EQ(list.GetInt32("jobstatus", 0, 0), kJobPaused);
	EXPECT_EQ(list.GetInt32("job_type", 0, 0), kJobFullBackup);

	BMessage get(kMsgJobGet);
	get.AddInt32("job_id", jobId);
	BMessage record = Request(messenger, get);
	type_code type;
	int32 count = 0;
	ASSERT_EQ(record.GetInfo("client_id", &type, &count), B_OK);
	EXPECT_EQ(count, 1);
	EXPECT_EQ(server->Terminate(), 0);
}

// Servers killed at random moments while they save their job list again
// and again: every next server finds a whole list, the previous one or the
// new one, with the job in one of the states it was saved in.
TEST_F(JobQueueProcessTest, KilledWhileSavingLeavesAWholeList)
{
	TestClient client;
	client.Start();
	std::mt19937 random(4711);
	std::uniform_int_distribution<useconds_t> delay(1000, 60000);
	int32 jobId = 0;

	for (int32 round = 0; round < kKillRounds; round++) {
		SCOPED_TRACE(round);
		std::unique_ptr<ChildProcess> server = StartServer();
		ASSERT_NE(server, nullptr);
		BMessenger messenger = ServerMessenger(server->Pid());
		ASSERT_EQ(client.Register(messenger), B_OK);

		if (jobId == 0) {
			BMessage reply = Request(messenger, JobRequest("Large", 20000));
			jobId = reply.GetInt32("job_id", 0);
			ASSERT_NE(jobId, 0);
		} else {
			BMessage list = Request(messenger, BMessage(kMsgJobList));
			ASSERT_EQ(list.GetInt32("job_id", 0, 0), jobId);
		}

		// Every continue and pause saves the list.
		for (int32 i = 0; i < 200; i++) {
			BMessage toggle(i % 2 == 0 ? kMsgJobContinue : kMsgJobPause);
			toggle.AddInt32("job_id", jobId);
			ASSERT_EQ(messenger.SendMessage(&toggle), B_OK);
		}
		// The moment of the kill is what this test varies.
		usleep(delay(random));
		server->Signal(SIGKILL);
		int exitCode = 0;
		ASSERT_TRUE(server->AwaitExit(kPatience, &exitCode));
		EXPECT_EQ(exitCode, -SIGKILL);

		JobTable jobs;
		ASSERT_EQ(ReadJobList(&jobs), MVJobListFile::kRead);
		ASSERT_EQ(jobs.size(), 1u);
		EXPECT_EQ(jobs[0].id, jobId);
		int32 state = jobs[0].state;
		EXPECT_TRUE(state == kJobWaiting || state == kJobPaused) << state;
		BMessage selection;
		ASSERT_EQ(jobs[0].record->FindMessage("selection", &selection), B_OK);
		type_code type;
		int32 count = 0;
		ASSERT_EQ(selection.GetInfo("INCLUDE", &type, &count), B_OK);
		EXPECT_EQ(count, 20000);
	}
	// A temporary file left behind marks a kill in the middle of a save.
	int32 interrupted = 0;
	std::error_code error;
	for (const auto& entry : std::filesystem::directory_iterator(fTree.ServerFolder(), error)) {
		std::string name = entry.path().filename().string();
		if (name.rfind(std::string(".") + MVJobListFile::kFileName, 0) == 0)
			interrupted++;
	}
	RecordProperty("interrupted_saves", interrupted);
	// A kill never left a damaged list for a server to keep aside.
	EXPECT_FALSE(ReadWholeFile(JobListPath() + MVJobListFile::kDamagedSuffix).has_value());
}
