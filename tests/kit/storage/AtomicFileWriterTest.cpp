#include <storage/AtomicFileWriter.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "StorageTestSupport.h"

namespace {

// The names of a native folder, for spotting leftover temporary files.
std::vector<std::string> Names(const std::string& native)
{
	std::vector<std::string> names;
	for (const auto& entry : std::filesystem::directory_iterator(native))
		names.push_back(entry.path().filename());
	std::sort(names.begin(), names.end());
	return names;
}

}	// namespace


// Commit replaces the file and keeps its permissions; until then the old
// contents stay, and no temporary file remains either way.
TEST_F(VolumeTest, CommitReplacesTheFile)
{
	std::string target = fFolder.WriteFile("hd/jobs", "old");
	ASSERT_EQ(chmod(target.c_str(), 0604), 0);
	{
		AtomicFileWriter writer("/boot/jobs");
		ASSERT_EQ(writer.InitCheck(), B_OK);
		ASSERT_EQ(writer.File()->WriteExactly("new contents", 12), B_OK);
		EXPECT_EQ(ReadWholeFile(target), "old");
		EXPECT_EQ(Names(fFolder / "hd").size(), 2u);
		ASSERT_EQ(writer.Commit(), B_OK);
		EXPECT_EQ(writer.File(), nullptr);
	}
	EXPECT_EQ(ReadWholeFile(target), "new contents");
	struct stat status;
	ASSERT_EQ(stat(target.c_str(), &status), 0);
	EXPECT_EQ(status.st_mode & 07777, mode_t(0604));
	EXPECT_EQ(Names(fFolder / "hd"), std::vector<std::string>{ "jobs" });

	ASSERT_EQ(AtomicFileWriter::WriteFile("/boot/fresh", "abc", 3, 0640), B_OK);
	EXPECT_EQ(ReadWholeFile(Boot("fresh")), "abc");
	ASSERT_EQ(stat(Boot("fresh").c_str(), &status), 0);
	EXPECT_EQ(status.st_mode & 0777 & ~mode_t(0640), 0u);
}


// A writer that ends, or is discarded, without Commit leaves the old file.
TEST_F(VolumeTest, NoCommitKeepsTheOldFile)
{
	std::string target = fFolder.WriteFile("data/prefs", "old");
	{
		AtomicFileWriter writer("/data/prefs");
		ASSERT_EQ(writer.File()->WriteExactly("half", 4), B_OK);
	}
	EXPECT_EQ(ReadWholeFile(target), "old");
	EXPECT_EQ(Names(fFolder / "data"), std::vector<std::string>{ "prefs" });

	AtomicFileWriter writer("/data/prefs");
	ASSERT_EQ(writer.File()->WriteExactly("half", 4), B_OK);
	writer.Discard();
	EXPECT_EQ(writer.Commit(), B_NO_INIT);
	EXPECT_EQ(ReadWholeFile(target), "old");
	EXPECT_EQ(Names(fFolder / "data"), std::vector<std::string>{ "prefs" });

	fFolder.MakeFolder("data/folder");
	EXPECT_EQ(writer.SetTo("/data/folder"), B_IS_A_DIRECTORY);
	EXPECT_EQ(writer.SetTo("/data/missing/file"), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(Names(fFolder / "data"), (std::vector<std::string>{ "folder", "prefs" }));
}


// Replacing through a link writes the file it names and keeps the link.
TEST_F(VolumeTest, WriterFollowsLinks)
{
	fFolder.WriteFile("hd/real", "old");
	ASSERT_EQ(symlink("real", Boot("link").c_str()), 0);
	ASSERT_EQ(AtomicFileWriter::WriteFile("/boot/link", "new", 3), B_OK);
	EXPECT_EQ(ReadWholeFile(Boot("real")), "new");
	struct stat status;
	ASSERT_EQ(lstat(Boot("link").c_str(), &status), 0);
	EXPECT_TRUE(S_ISLNK(status.st_mode));
}
