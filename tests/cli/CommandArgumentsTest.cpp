// Every command's arguments judged without a server: what is accepted, what
// is refused before anything is sent, and the job messages that come out.

#include <gtest/gtest.h>

#include <storage/VolumeTable.h>

#include "BackupCommand.h"
#include "CommandTable.h"
#include "RestoreCommand.h"
#include "ServerProtocol.h"
#include "TestFolder.h"

namespace {

// Parses and checks words as main does; the error, or "" when accepted.
std::string Judge(Command& command, const std::vector<std::string>& words)
{
	CommandLine line;
	line.Flag("help");
	command.Declare(&line);
	if (!line.Parse(words))
		return line.Error();
	std::string error;
	if (!command.Check(line, &error))
		return error.empty() ? "refused without a message" : error;
	return "";
}

std::string Judge(const std::string& name, const std::vector<std::string>& words)
{
	std::unique_ptr<Command> command = CommandTable::Make(name);
	if (!command)
		return "no such command";
	return Judge(*command, words);
}

// A source volume "Src" and the boot volume, for the path translation.
class CommandArgumentsTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fFolder.WriteFile("src/data/a.txt", "a");
		fFolder.WriteFile("src/data/sub/b.txt", "b");
		fFolder.MakeFolder("boot");
		fVolumes = std::make_unique<ScopedEnv>("MORVANE_VOLUMES",
			"Boot=" + fFolder / "boot" + ";Src=" + fFolder / "src");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
	}

	void TearDown() override
	{
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	std::string Src(const std::string& name) const { return fFolder / ("src/" + name); }

	TestFolder fFolder;
	std::unique_ptr<ScopedEnv> fVolumes;
};

}	// namespace

// Every command exists, has help that names its options, and refuses stray or missing operands.
TEST_F(CommandArgumentsTest, EveryCommandJudgesItsOperands)
{
	for (const char* name : {"backup", "restore", "jobs", "wait", "start", "pause", "continue",
			"abort", "remove", "backups", "ls", "delete", "reports", "report"}) {
		std::unique_ptr<Command> command = CommandTable::Make(name);
		ASSERT_TRUE(command) << name;
		EXPECT_EQ(std::string(command->Name()), name);
		EXPECT_NE(std::string(command->Help()).find(std::string("morvane ") + name),
			std::string::npos) << name;
	}
	EXPECT_FALSE(CommandTable::Make("frobnicate"));

	EXPECT_EQ(Judge("jobs", {"--json"}), "");
	EXPECT_NE(Judge("jobs", {"extra"}), "");
	EXPECT_EQ(Judge("wait", {"-17"}), "");
	EXPECT_EQ(Judge("wait", {"--on-media-change", "true", "12"}), "");
	EXPECT_NE(Judge("wait", {}), "");
	EXPECT_NE(Judge("wait", {"0"}), "");
	EXPECT_NE(Judge("wait", {"--on-media-change=", "12"}), "");
	EXPECT_NE(Judge("pause", {"12", "13"}), "");
	EXPECT_NE(Judge("abort", {"x"}), "");
	EXPECT_NE(Judge("start", {"99999999999"}), "");
	EXPECT_EQ(Judge("backups", {"--json"}), "");
	EXPECT_NE(Judge("backups", {"x"}), "");
	EXPECT_EQ(Judge("ls", {"2026010112345678"}), "");
	EXPECT_EQ(Judge("ls", {"--json", "2026010112345678", "/Src/data"}), "");
	EXPECT_NE(Judge("ls", {}), "");
	EXPECT_NE(Judge("ls", {"a/b"}), "");
	EXPECT_NE(Judge("ls", {"b", "/x", "/y"}), "");
	EXPECT_EQ(Judge("delete", {"--data", "b1", "b2"}), "");
	EXPECT_NE(Judge("delete", {"--data"}), "");
	EXPECT_NE(Judge("delete", {"../x"}), "");
	EXPECT_EQ(Judge("reports", {"--json"}), "");
	EXPECT_NE(Judge("reports", {"1"}), "");
	EXPECT_EQ(Judge("report", {"--follow", "-5"}), "");
	EXPECT_NE(Judge("report", {}), "");
	EXPECT_NE(Judge("report", {"--json", "--follow", "5"}), "");
	EXPECT_NE(Judge("report", {"--bogus", "5"}), "");
}

// A backup is refused for every option that does not fit, with a message that says which.
TEST_F(CommandArgumentsTest, BackupRefusesBadOptions)
{
	std::string data = Src("data");
	std::string to = Src("images");
	struct Case {
		std::vector<std::string> words;
		const char* expected;
	};
	for (const Case& bad : std::vector<Case>{
			{{data}, "--to"},
			{{"--to", to}, "at least one PATH"},
			{{"--to", to, Src("missing")}, "does not exist"},
			{{"--to", to, "--compress", "zip", data}, "unknown compressor"},
			{{"--to", to, "--mode", "weekly", data}, "unknown mode"},
			{{"--to", to, "--mode", "incremental", data}, "--base"},
			{{"--to", to, "--base", "5", data}, "--base belongs"},
			{{"--to", to, "--mode", "differential", "--base", "x", data}, "not a job id"},
			{{"--to", to, "--mode", "incremental", "--base", "5", "--overwrite", data},
				"full backups only"},
			{{"--to", to, "--at", "tomorrow", data}, "YYYY-MM-DD"},
			{{"--to", to, "--at", "2026-02-30 10:00", data}, "not a valid date"},
			{{"--to", to, "--every", "1w", data}, "unknown unit"},
			{{"--to", to, "--skip-days", "sat", data}, "needs --every"},
			{{"--to", to, "--every", "1d", "--skip-days", "caturday", data}, "not a weekday"},
			{{"--to", to, "--password", " lead", data}, "begin with a space"},
			{{"--to", to, "--password", std::string(33, 'p'), data}, "longer than 32"},
			{{"--to", to, "--title", "", data}, "title is empty"},
			{{"--to", "/definitely/not/on/a/volume", data}, "no volume"},
			{{"--to", to, "--on-media-change", "", data}, "needs a command"},
			{{"--to", to, "--hold", "--hold", data}, "given twice"}}) {
		BackupCommand command;
		std::string error = Judge(command, bad.words);
		EXPECT_NE(error.find(bad.expected), std::string::npos)
			<< ::testing::PrintToString(bad.words) << " gave: " << error;
	}
}

// The job of a full backup carries every field the backup worker and the queue read.
TEST_F(CommandArgumentsTest, BackupJobCarriesEveryField)
{
	BackupCommand command;
	ASSERT_EQ(Judge(command, {"--to", Src("images"), "--compress", "lzrw1", "--title", "Daily",
		"--password", "secret", "--exclude", Src("data/sub"), "--overwrite", "--at",
		"2030-05-06 07:08", "--every", "1M2d", "--skip-days", "sat,Sunday", "--hold",
		Src("data"), Src("data/a.txt")}), "");
	BMessage job;
	command.BuildJob(&job);
	EXPECT_EQ(job.what, uint32(kMsgJobAdd));
	EXPECT_EQ(job.GetInt32("job_type", 0), kJobFullBackup);
	EXPECT_FALSE(job.HasData("base_id", B_INT32_TYPE));

	BMessage selection;
	ASSERT_EQ(job.FindMessage("selection", &selection), B_OK);
	EXPECT_STREQ(selection.GetString("SELECTION", 0, ""), "INCLUDE /Src/data/*");
	EXPECT_STREQ(selection.GetString("SELECTION", 1, ""), "INCLUDE /Src/data/a.txt");
	EXPECT_STREQ(selection.GetString("SELECTION", 2, ""), "EXCLUDE /Src/data/sub/*");

	EXPECT_STREQ(job.GetString("addon", ""), "MVImage");
	BMessage volume;
	ASSERT_EQ(job.FindMessage("volume", &volume), B_OK);
	EXPECT_STREQ(volume.GetString("MVVOLNAME", ""), "/Src/images");
	EXPECT_TRUE(volume.GetBool("MVVOLOVERWRITE"));
	EXPECT_TRUE(volume.GetBool("createpath"));
	EXPECT_STREQ(job.GetString("bak_addonpacker", ""), "MVLZRW1");
	BMessage packer;
	EXPECT_EQ(job.FindMessage("bak_packer", &packer), B_OK);

	BMessage scheduler;
	ASSERT_EQ(job.FindMessage("scheduler", &scheduler), B_OK);
	int32 start = 0;
	ASSERT_EQ(scheduler.FindTime("TIME", &start), B_OK);
	time_t when = start;
	tm local;
	localtime_r(&when, &local);
	EXPECT_EQ(local.tm_year, 130);
	EXPECT_EQ(local.tm_mon, 4);
	EXPECT_EQ(local.tm_mday, 6);
	EXPECT_EQ(local.tm_hour, 7);
	EXPECT_EQ(local.tm_min, 8);
	EXPECT_EQ(scheduler.GetInt32("Months", 0), 1);
	EXPECT_EQ(scheduler.GetInt32("Days", 0), 2);
	EXPECT_TRUE(scheduler.GetBool("Saturday"));
	EXPECT_TRUE(scheduler.GetBool("Sunday"));
	EXPECT_FALSE(scheduler.GetBool("Monday", true));

	BMessage startInfo;
	ASSERT_EQ(job.FindMessage("start_info", &startInfo), B_OK);
	EXPECT_STREQ(startInfo.GetString("title", ""), "Daily");
	EXPECT_STREQ(startInfo.GetString("password", ""), "secret");
	EXPECT_EQ(startInfo.GetInt32("submitonhold", 0), 1);
}

// Incremental and differential jobs name their base; their selection may come from it alone.
TEST_F(CommandArgumentsTest, IncrementalJobNamesItsBase)
{
	BackupCommand incremental;
	ASSERT_EQ(Judge(incremental, {"--to", Src("images"), "--mode", "incremental", "--base",
		"-42"}), "");
	BMessage job;
	incremental.BuildJob(&job);
	EXPECT_EQ(job.GetInt32("job_type", 0), kJobIncrementalBackup);
	EXPECT_EQ(job.GetInt32("base_id", 0), -42);
	BMessage volume;
	ASSERT_EQ(job.FindMessage("volume", &volume), B_OK);
	EXPECT_FALSE(volume.GetBool("MVVOLOVERWRITE", true));
	BMessage startInfo;
	ASSERT_EQ(job.FindMessage("start_info", &startInfo), B_OK);
	EXPECT_FALSE(startInfo.HasData("submitonhold", B_INT32_TYPE));
	EXPECT_FALSE(startInfo.HasData("password", B_STRING_TYPE));

	BackupCommand differential;
	ASSERT_EQ(Judge(differential, {"--to", Src("images"), "--mode", "differential", "--base",
		"7", Src("data")}), "");
	differential.BuildJob(&job);
	EXPECT_EQ(job.GetInt32("job_type", 0), kJobDifferentialBackup);
	EXPECT_STREQ(job.GetString("bak_addonpacker", ""), "MVNone");
}

// Restore options map onto the job's fields; catalogue paths become selection and redirection lines.
TEST_F(CommandArgumentsTest, RestoreBuildsSelectionAndRedirection)
{
	for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
			{}, {"a/b"}, {"B", "--overwrite", "always"}, {"B", "--to", "relative/../../../.."},
			{"B", ""}, {"B", "--on-media-change="}}) {
		RestoreCommand command;
		EXPECT_NE(Judge(command, bad), "") << ::testing::PrintToString(bad);
	}
	const char* modes[] = {"no", "older", "rename", "yes"};
	for (int32 mode = 0; mode < 4; mode++) {
		RestoreCommand command;
		ASSERT_EQ(Judge(command, {"B", "--overwrite", modes[mode]}), "");
		EXPECT_EQ(command.OverwriteMode(), mode);
	}

	RestoreCommand command;
	ASSERT_EQ(Judge(command, {"2026010112345678", "Src/data/", "/Src/data/a.txt", "--to",
		Src("back"), "--create-root", "--password", "pw"}), "");
	EXPECT_EQ(command.Target(), "/Src/back");
	BMessage job;
	command.BuildJob({{"/Src/data", true}, {"/Src/data/a.txt", false}}, "Daily", &job);
	EXPECT_EQ(job.GetInt32("job_type", 0), kJobRestore);
	BMessage restore;
	ASSERT_EQ(job.FindMessage("restore", &restore), B_OK);
	EXPECT_EQ(restore.GetInt32("overwrite", -1), 0);
	EXPECT_EQ(restore.GetInt32("createroot", 0), 1);
	BMessage selection;
	ASSERT_EQ(job.FindMessage("selection", &selection), B_OK);
	EXPECT_STREQ(selection.GetString("SELECTION", 0, ""), "INCLUDE /2026010112345678/Src/data/*");
	EXPECT_STREQ(selection.GetString("SELECTION", 1, ""),
		"INCLUDE /2026010112345678/Src/data/a.txt");
	EXPECT_STREQ(selection.GetString("source", 0, ""), "REDIREC /2026010112345678/Src/data/*");
	EXPECT_STREQ(selection.GetString("redirect", 1, ""), "/Src/back");
	BMessage startInfo;
	ASSERT_EQ(job.FindMessage("start_info", &startInfo), B_OK);
	EXPECT_STREQ(startInfo.GetString("title", ""), "Restore of Daily");
	BMessage scheduler;
	EXPECT_EQ(job.FindMessage("scheduler", &scheduler), B_OK);
	EXPECT_TRUE(scheduler.HasData("TIME", B_TIME_TYPE));

	// A whole backup restored in place: one folder line and no redirection.
	BMessage whole;
	BackupItems::BuildSelection("B", {{"", true}}, "", &whole);
	EXPECT_STREQ(whole.GetString("SELECTION", 0, ""), "INCLUDE /B/*");
	EXPECT_FALSE(whole.HasData("source", B_STRING_TYPE));
}
