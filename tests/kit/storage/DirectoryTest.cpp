#include <storage/Directory.h>

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <storage/Entry.h>
#include <storage/File.h>
#include <storage/Path.h>
#include <storage/SymLink.h>

#include "StorageTestSupport.h"

namespace {

// The names of a native folder in readdir order, dots left out.
std::vector<std::string> NativeListing(const std::string& native)
{
	std::vector<std::string> names;
	DIR* folder = opendir(native.c_str());
	while (struct dirent* entry = folder != nullptr ? readdir(folder) : nullptr) {
		std::string name = entry->d_name;
		if (name != "." && name != "..")
			names.push_back(name);
	}
	if (folder != nullptr)
		closedir(folder);
	return names;
}

}	// namespace


// Listing gives every entry once, in readdir order, by entry, ref and
// packed dirents; rewinding starts over and counting leaves the listing be.
TEST_F(VolumeTest, ListsInDirectoryOrder)
{
	for (int i = 0; i < 40; i++)
		fFolder.WriteFile("hd/list/file" + std::to_string(i), "x");
	fFolder.MakeFolder("hd/list/folder");
	std::vector<std::string> expected = NativeListing(Boot("list"));
	ASSERT_EQ(expected.size(), 41u);

	BDirectory folder("/boot/list");
	ASSERT_EQ(folder.InitCheck(), B_OK);
	std::vector<std::string> names;
	BEntry entry;
	while (folder.GetNextEntry(&entry) == B_OK) {
		names.push_back(entry.Name());
		if (names.size() == 5) {
			EXPECT_EQ(folder.CountEntries(), 41);
		}
	}
	EXPECT_EQ(names, expected);
	EXPECT_EQ(folder.GetNextEntry(&entry), B_ENTRY_NOT_FOUND);

	ASSERT_EQ(folder.Rewind(), B_OK);
	entry_ref ref;
	ASSERT_EQ(folder.GetNextRef(&ref), B_OK);
	EXPECT_EQ(ref.path, "/boot/list/" + expected[0]);

	// A buffer that holds two records gets two, then the rest follows.
	ASSERT_EQ(folder.Rewind(), B_OK);
	alignas(8) char buffer[2 * 40];
	std::vector<std::string> packedNames;
	int32 count;
	while ((count = folder.GetNextDirents(reinterpret_cast<dirent*>(buffer),
			sizeof(buffer))) > 0) {
		EXPECT_LE(count, 2);
		size_t offset = 0;
		for (int32 i = 0; i < count; i++) {
			auto* record = reinterpret_cast<dirent*>(buffer + offset);
			packedNames.push_back(record->d_name);
			offset += record->d_reclen;
		}
	}
	EXPECT_EQ(count, 0);
	EXPECT_EQ(packedNames, expected);
	ASSERT_EQ(folder.Rewind(), B_OK);
	EXPECT_EQ(folder.GetNextDirents(reinterpret_cast<dirent*>(buffer), 8), B_BAD_VALUE);
}


// Entries are created relative to the folder or by absolute path, and
// found again by FindEntry and Contains.
TEST_F(VolumeTest, CreatesAndFindsEntries)
{
	BDirectory root("/boot");
	BFile file;
	ASSERT_EQ(root.CreateFile("new", &file), B_OK);
	ASSERT_EQ(file.Write("data", 4), 4);
	EXPECT_EQ(root.CreateFile("new", nullptr, true), B_FILE_EXISTS);
	EXPECT_EQ(ReadWholeFile(Boot("new")), "data");

	BDirectory sub;
	ASSERT_EQ(root.CreateDirectory("sub", &sub), B_OK);
	EXPECT_STREQ(sub.Path(), "/boot/sub");
	EXPECT_EQ(root.CreateDirectory("sub", nullptr), B_FILE_EXISTS);
	BSymLink link;
	ASSERT_EQ(sub.CreateSymLink("/boot/sub/link", "../new", &link), B_OK);
	std::string text;
	ASSERT_EQ(link.ReadLink(&text), B_OK);
	EXPECT_EQ(text, "../new");

	BEntry found;
	ASSERT_EQ(root.FindEntry("sub/link", &found, true), B_OK);
	EXPECT_STREQ(found.Path(), "/boot/new");
	EXPECT_EQ(root.FindEntry("nothing", &found), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(found.InitCheck(), B_NO_INIT);

	EXPECT_TRUE(root.Contains("new"));
	EXPECT_TRUE(root.Contains("sub/link", B_SYMLINK_NODE));
	EXPECT_FALSE(root.Contains("sub/link", B_FILE_NODE));
	EXPECT_TRUE(root.Contains("/Test HD/sub", B_DIRECTORY_NODE));
	EXPECT_FALSE(root.Contains("/data"));
	EXPECT_FALSE(sub.Contains("../new"));
	EXPECT_FALSE(root.Contains("missing"));
	BEntry entry("/boot/sub/link");
	EXPECT_TRUE(root.Contains(&entry));
	EXPECT_FALSE(sub.Contains(&found));

	EXPECT_EQ(BDirectory("/boot/new").InitCheck(), B_NOT_A_DIRECTORY);
	EXPECT_EQ(BDirectory("/boot/missing").InitCheck(), B_ENTRY_NOT_FOUND);
}


// create_directory makes the missing folders above, accepts a folder that
// exists, and stops at a file in the way.
TEST_F(VolumeTest, CreateDirectoryWithParents)
{
	ASSERT_EQ(create_directory("/data/a/b/c", 0750), B_OK);
	struct stat status;
	ASSERT_EQ(stat(Data("a/b/c").c_str(), &status), 0);
	EXPECT_TRUE(S_ISDIR(status.st_mode));
	EXPECT_EQ(create_directory("/data/a/b", 0750), B_OK);
	EXPECT_EQ(create_directory("/data", 0750), B_OK);

	fFolder.WriteFile("data/file", "x");
	EXPECT_EQ(create_directory("/data/file/sub", 0750), B_NOT_A_DIRECTORY);
	EXPECT_EQ(create_directory("/nowhere/a", 0750), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(create_directory("/data/../boot", 0750), B_BAD_VALUE);
}
