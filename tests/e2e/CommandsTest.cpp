// The commands that need no job engine, through a real server.

#include "MorvaneFixture.h"

#include <app/Roster.h>

#include "ServerProtocol.h"

namespace {

class CommandsTest : public MorvaneFixture {};

}	// namespace

// An empty catalogue, report store and queue list as empty, in text and JSON.
TEST_F(CommandsTest, EmptyListings)
{
	CommandResult backups = Run({"backups"});
	EXPECT_EQ(backups.exitCode, 0);
	EXPECT_EQ(backups.output, "No backups are in the catalogue.\n");
	EXPECT_EQ(Run({"backups", "--json"}).output, "[]\n");
	CommandResult reports = Run({"reports"});
	EXPECT_EQ(reports.exitCode, 0);
	EXPECT_EQ(reports.output, "No reports are stored.\n");
	EXPECT_EQ(Run({"reports", "--json"}).output, "[]\n");
	EXPECT_EQ(Run({"jobs"}).output, "No jobs are queued.\n");
	// Unknown names are failures, not usage errors: the arguments were good.
	EXPECT_EQ(Run({"ls", "2026010100000001"}).exitCode, 3);
	EXPECT_EQ(Run({"delete", "2026010100000001"}).exitCode, 3);
	EXPECT_EQ(Run({"restore", "2026010100000001"}).exitCode, 3);
	EXPECT_EQ(Run({"report", "12345"}).exitCode, 3);
	EXPECT_EQ(Run({"wait", "12345"}).exitCode, 3);
}

// A job submitted on hold is listed as paused with its title, and can be removed.
TEST_F(CommandsTest, HeldJobIsListed)
{
	fSource.WriteFile("data/a.txt", "a");
	CommandResult submitted = Run({"backup", "--to", Source("images"), "--title", "Held one",
		"--every", "1d", "--hold", Source("data")});
	ASSERT_EQ(submitted.exitCode, 0) << submitted.output;
	size_t at = submitted.output.find("Job ");
	ASSERT_NE(at, std::string::npos) << submitted.output;
	std::string jobId = submitted.output.substr(at + 4, submitted.output.find(' ', at + 4)
		- at - 4);

	CommandResult jobs = Run({"jobs"});
	EXPECT_NE(jobs.output.find(jobId + " "), std::string::npos) << jobs.output;
	EXPECT_NE(jobs.output.find("paused"), std::string::npos) << jobs.output;
	EXPECT_NE(jobs.output.find("Held one"), std::string::npos) << jobs.output;
	CommandResult json = Run({"jobs", "--json"});
	EXPECT_NE(json.output.find("\"id\":" + jobId + ",\"title\":\"Held one\""),
		std::string::npos) << json.output;
	EXPECT_NE(json.output.find("\"state\":\"paused\""), std::string::npos);

	EXPECT_EQ(Run({"remove", jobId}).exitCode, 0);
	EXPECT_EQ(Run({"jobs"}).output, "No jobs are queued.\n");
}

// Bad arguments of the new commands end with 64 and start no server.
TEST_F(CommandsTest, BadArgumentsStartNothing)
{
	fSource.WriteFile("data/a.txt", "a");
	for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
			{"backup", Source("data")}, {"backup", "--to", Source("i"), Source("nothing")},
			{"backup", "--to", Source("i"), "--every", "1x", Source("data")},
			{"restore"}, {"restore", "B", "--overwrite", "maybe"}, {"ls"}, {"delete"},
			{"report", "x"}, {"reports", "--follow"}, {"wait"},
			{"backup", "--to", Source("i"), "--title", std::string(256, 't'), Source("data")},
			{"compare", "B", "--title", std::string(256, 't')}}) {
		EXPECT_EQ(Run(arguments).exitCode, 64) << ::testing::PrintToString(arguments);
	}
	EXPECT_FALSE(be_roster->IsRunning(kServerSignature));
}
