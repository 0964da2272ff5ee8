// The morvane program of a copy of the installed tree, run as a user runs it.

#include <gtest/gtest.h>

#include <app/Application.h>
#include <app/Roster.h>

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
			snooze(10000);
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
			{"pause", "abc"}, {"abort", "0"}, {"remove", "1", "2"}, {"start", "99999999999"}}) {
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
}
