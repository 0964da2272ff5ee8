// The morvane program of a copy of the installed tree, run as a user runs it.

#include <gtest/gtest.h>

#include <app/Application.h>
#include <app/Message.h>
#include <app/Roster.h>

#include <ctime>

#include "ServerProtocol.h"
#include "ServerTree.h"

namespace {

constexpr bigtime_t kPatience = 20000000;

struct Result {
	int exitCode = -1;
	std::string output;
};

class MorvaneCommandTest : public ::testing::Test {
protected:
	void TearDown() override
	{
		// A server the command started must end before its tree goes.
		BMessenger server(kServerSignature);
		if (!server.IsValid())
			return;
		(void)server.SendMessage(B_QUIT_REQUESTED);
		for (bigtime_t start = system_time(); server.IsValid()
				&& system_time() - start < kPatience;) {
			(void)snooze(10000);
		}
	}

	Result Run(const std::vector<std::string>& arguments)
	{
		Result result;
		ChildProcess process;
		std::string program = fTree.ServerFolder() + "/../morvane";
		if (process.Start(program, arguments, fTree.Environment(),
				ChildProcess::Output::Pipe) != B_OK) {
			return result;
		}
		std::string line;
		while (process.ReadLine(&line, kPatience))
			result.output += line + "\n";
		process.AwaitExit(kPatience, &result.exitCode);
		return result;
	}

	ServerTree fTree;
};

}	// namespace

// Bad arguments end with status 64 before any server is started.
TEST_F(MorvaneCommandTest, BadArgumentsStartNothing)
{
	ASSERT_TRUE(fTree.IsValid());
	for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
			{}, {"frobnicate"}, {"jobs", "--bogus"}, {"jobs", "extra"}, {"pause"},
			{"pause", "abc"}, {"abort", "0"}, {"remove", "1", "2"}, {"start", "99999999999"}, {"start", "-x"}}) {
		EXPECT_EQ(Run(arguments).exitCode, 64) << ::testing::PrintToString(arguments);
	}
	EXPECT_FALSE(be_roster->IsRunning(kServerSignature));

	Result help = Run({"--help"});
	EXPECT_EQ(help.exitCode, 0);
	EXPECT_NE(help.output.find("Commands:"), std::string::npos);
	Result jobsHelp = Run({"jobs", "--help"});
	EXPECT_EQ(jobsHelp.exitCode, 0);
	EXPECT_NE(jobsHelp.output.find("--json"), std::string::npos);
}

// The command starts the server beside it, lists the queue and names a job that is not there.
TEST_F(MorvaneCommandTest, StartsTheServerAndListsJobs)
{
	ASSERT_TRUE(fTree.IsValid());
	Result jobs = Run({"jobs"});
	EXPECT_EQ(jobs.exitCode, 0);
	EXPECT_EQ(jobs.output, "No jobs are queued.\n");
	EXPECT_TRUE(be_roster->IsRunning(kServerSignature));
	Result json = Run({"jobs", "--json"});
	EXPECT_EQ(json.exitCode, 0);
	EXPECT_EQ(json.output, "[]\n");
	EXPECT_EQ(Run({"pause", "4242"}).exitCode, 3);
	EXPECT_EQ(Run({"pause", "-4242"}).exitCode, 3);
}

// A queued job is listed and can be removed by its id.
TEST_F(MorvaneCommandTest, ListsAndRemovesQueuedJobs)
{
	ASSERT_TRUE(fTree.IsValid());
	ASSERT_EQ(Run({"jobs"}).exitCode, 0);
	// This test registers as a client too, so that the server stays up.
	BApplication client("application/x-vnd.morvane-cli-test");
	BMessenger server(kServerSignature);
	BMessage add(kMsgAddClient);
	add.AddInt32("client_id", current_team());
	ASSERT_EQ(server.SendMessage(&add), B_OK);

	BMessage schedule;
	schedule.AddTime("TIME", int32(time(nullptr)) + 3600);
	BMessage start;
	start.AddString("title", "Photos");
	start.AddInt32("submitonhold", 1);
	BMessage job(kMsgJobAdd);
	job.AddInt32("job_type", kJobFullBackup);
	job.AddMessage("scheduler", &schedule);
	job.AddMessage("start_info", &start);
	BMessage accepted;
	ASSERT_EQ(server.SendMessage(&job, &accepted, B_INFINITE_TIMEOUT, kPatience), B_OK);
	ASSERT_EQ(accepted.what, uint32(kMsgJobAccepted));
	std::string jobId = std::to_string(accepted.GetInt32("job_id", 0));

	Result listed = Run({"jobs"});
	EXPECT_EQ(listed.exitCode, 0);
	EXPECT_NE(listed.output.find(jobId + " "), std::string::npos) << listed.output;
	EXPECT_NE(listed.output.find("full backup"), std::string::npos);
	EXPECT_NE(listed.output.find("paused"), std::string::npos);
	EXPECT_NE(listed.output.find("Photos"), std::string::npos);
	Result json = Run({"jobs", "--json"});
	EXPECT_NE(json.output.find("\"id\":" + jobId + ","), std::string::npos) << json.output;

	EXPECT_EQ(Run({"remove", jobId}).exitCode, 0);
	EXPECT_EQ(Run({"jobs"}).output, "No jobs are queued.\n");
	BMessage remove(kMsgRemoveClient);
	remove.AddInt32("client_id", current_team());
	(void)server.SendMessage(&remove);
}
