// Differential backups and overwrite mode through `morvane` and a real server.

#include "MorvaneFixture.h"
#include "NextSecond.h"

#include "AwaitCondition.h"

#include <algorithm>
#include <filesystem>
#include <sys/time.h>

namespace fs = std::filesystem;

namespace {

void SetOld(const std::string& path)
{
	timeval times[2] = {{1577836800, 0}, {1577836800, 0}};
	ASSERT_EQ(lutimes(path.c_str(), times), 0) << path;
}

std::vector<std::string> Images(const std::string& folder)
{
	std::vector<std::string> names;
	if (!fs::exists(folder))
		return names;
	for (const fs::directory_entry& entry : fs::directory_iterator(folder))
		names.push_back(entry.path().filename().string());
	std::sort(names.begin(), names.end());
	return names;
}

class BackupModesTest : public MorvaneFixture {};

}	// namespace

// A differential backup holds everything changed since the base's full run,
// including what an incremental backup in between already saved.
TEST_F(BackupModesTest, DifferentialHoldsEverythingSinceTheFullRun)
{
	for (const char* name : {"data/keep", "data/first", "data/sub/second", "data/sub/keep"})
		fSource.WriteFile(name, name);
	for (const char* name : {"data/keep", "data/first", "data/sub/second", "data/sub/keep",
			"data/sub", "data"}) {
		SetOld(Source(name));
	}
	// The full run starts after every status change above.
	(void)NextSecond();
	CommandResult full = Run({"backup", "--to", Source("images"), "--every", "1d",
		Source("data")});
	ASSERT_EQ(full.exitCode, 0) << full.output;
	std::string jobId = SubmittedJobId(full.output);
	ASSERT_FALSE(jobId.empty()) << full.output;

	fSource.WriteFile("data/first", "changed first");
	CommandResult incremental = Run({"backup", "--verbose", "--to", Source("images"), "--mode",
		"incremental", "--base", jobId});
	ASSERT_EQ(incremental.exitCode, 0) << incremental.output;
	EXPECT_NE(incremental.output.find("/Source/data/first\n"), std::string::npos)
		<< incremental.output;

	fSource.WriteFile("data/sub/second", "changed second");
	CommandResult differential = Run({"backup", "--verbose", "--to", Source("images"), "--mode",
		"differential", "--base", jobId});
	ASSERT_EQ(differential.exitCode, 0) << differential.output;
	EXPECT_NE(differential.output.find("/Source/data/first\n"), std::string::npos)
		<< differential.output;
	EXPECT_NE(differential.output.find("/Source/data/sub/second\n"), std::string::npos)
		<< differential.output;
	EXPECT_EQ(differential.output.find("/keep\n"), std::string::npos) << differential.output;
	EXPECT_NE(differential.output.find("Backup successful"), std::string::npos);

	std::vector<std::string> ids = BackupIds();
	ASSERT_EQ(ids.size(), 3u);
	std::string listed = Run({"backups", "--json"}).output;
	EXPECT_NE(listed.find("\"mode\":\"differential\""), std::string::npos) << listed;
	// The differential backup restores the changed files only.
	std::string differentialId;
	for (const std::string& id : ids) {
		CommandResult tree = Run({"ls", id, "/Source/data/sub"});
		if (tree.output.find("/Source/data/sub/second\n") != std::string::npos
				&& tree.output.find("/Source/data/sub/keep\n") == std::string::npos) {
			differentialId = id;
		}
	}
	ASSERT_FALSE(differentialId.empty());
	ASSERT_EQ(Run({"restore", differentialId, "--to", Source("back")}).exitCode, 0);
	EXPECT_EQ(ReadWholeFile(Source("back/data/first")).value_or(""), "changed first");
	EXPECT_EQ(ReadWholeFile(Source("back/data/sub/second")).value_or(""), "changed second");
	EXPECT_FALSE(fs::exists(Source("back/data/keep")));
	EXPECT_FALSE(fs::exists(Source("back/data/sub/keep")));
	EXPECT_EQ(Run({"remove", jobId}).exitCode, 0);
}

// Overwrite mode deletes the backups already in the folder, images and
// catalogue entries alike, and leaves other folders' backups alone.
TEST_F(BackupModesTest, OverwriteDeletesEarlierBackups)
{
	fSource.WriteFile("data/a", "a");
	ASSERT_EQ(Run({"backup", "--to", Source("images"), "--title", "first", Source("data")})
		.exitCode, 0);
	ASSERT_EQ(Run({"backup", "--to", Source("images"), "--title", "second", Source("data")})
		.exitCode, 0);
	ASSERT_EQ(Run({"backup", "--to", Source("elsewhere"), "--title", "other", Source("data")})
		.exitCode, 0);
	std::vector<std::string> before = BackupIds();
	ASSERT_EQ(before.size(), 3u);
	ASSERT_EQ(Images(Source("images")).size(), 2u);
	std::vector<std::string> elsewhere = Images(Source("elsewhere"));
	ASSERT_EQ(elsewhere.size(), 1u);

	CommandResult overwrite = Run({"backup", "--to", Source("images"), "--overwrite",
		"--title", "third", Source("data")});
	ASSERT_EQ(overwrite.exitCode, 0) << overwrite.output;
	EXPECT_NE(overwrite.output.find("Deleting Backup 'first'"), std::string::npos)
		<< overwrite.output;
	EXPECT_NE(overwrite.output.find("Deleting Backup 'second'"), std::string::npos);

	std::vector<std::string> images = Images(Source("images"));
	ASSERT_EQ(images.size(), 1u);
	EXPECT_TRUE(AwaitCondition([&] {
		std::vector<std::string> ids = BackupIds();
		std::sort(ids.begin(), ids.end());
		std::vector<std::string> expected = {images[0], elsewhere[0]};
		std::sort(expected.begin(), expected.end());
		return ids == expected;
	}, kPatience));
	EXPECT_EQ(Images(Source("elsewhere")), elsewhere);
	for (const std::string& id : before) {
		if (id != elsewhere[0]) {
			EXPECT_FALSE(fs::exists(LogDataFolder() + "/" + id)) << id;
		}
	}
	std::string listed = Run({"backups"}).output;
	EXPECT_NE(listed.find("third"), std::string::npos) << listed;
	EXPECT_EQ(listed.find("first"), std::string::npos) << listed;
}
