#include <storage/File.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <storage/Entry.h>

#include "StorageTestSupport.h"

// Open modes: creating, failing on an existing file, erasing, appending,
// and reading or writing only where the mode allows.
TEST_F(VolumeTest, OpenModes)
{
	EXPECT_EQ(BFile("/boot/f", B_READ_ONLY).InitCheck(), B_ENTRY_NOT_FOUND);
	BFile file("/boot/f", B_WRITE_ONLY | B_CREATE_FILE);
	ASSERT_EQ(file.InitCheck(), B_OK);
	EXPECT_TRUE(file.IsWritable());
	EXPECT_FALSE(file.IsReadable());
	ASSERT_EQ(file.Write("hello", 5), 5);
	char buffer[16];
	EXPECT_LT(file.Read(buffer, 5), 0);

	EXPECT_EQ(BFile("/boot/f", B_READ_WRITE | B_CREATE_FILE | B_FAIL_IF_EXISTS).InitCheck(),
		B_FILE_EXISTS);
	BFile append("/boot/f", B_WRITE_ONLY | B_OPEN_AT_END);
	ASSERT_EQ(append.Seek(0, SEEK_SET), 0);
	ASSERT_EQ(append.Write(" world", 6), 6);
	EXPECT_EQ(ReadWholeFile(Boot("f")), "hello world");

	BFile erase("/boot/f", B_READ_WRITE | B_ERASE_FILE);
	off_t size = -1;
	ASSERT_EQ(erase.GetSize(&size), B_OK);
	EXPECT_EQ(size, 0);

	BFile reader("/boot/f", B_READ_ONLY);
	EXPECT_EQ(reader.Write("x", 1), B_FILE_ERROR);
	EXPECT_EQ(reader.SetSize(10), B_NOT_ALLOWED);
	fFolder.MakeFolder("hd/folder");
	EXPECT_EQ(BFile("/boot/folder", B_READ_ONLY).InitCheck(), B_IS_A_DIRECTORY);
	EXPECT_EQ(BFile("/boot/f", 7).InitCheck(), B_BAD_VALUE);
}


// Positioned and sequential I/O, seeking, resizing, and offsets past 4 GiB
// (a sparse file, so the test writes little).
TEST_F(VolumeTest, ReadWriteSeekAndLargeFiles)
{
	BFile file("/data/f", B_READ_WRITE | B_CREATE_FILE);
	ASSERT_EQ(file.InitCheck(), B_OK);
	ASSERT_EQ(file.Write("0123456789", 10), 10);
	EXPECT_EQ(file.Position(), 10);
	EXPECT_EQ(file.Seek(-4, SEEK_END), 6);
	char buffer[16] = {};
	ASSERT_EQ(file.Read(buffer, sizeof(buffer)), 4);
	EXPECT_EQ(std::string(buffer, 4), "6789");
	ASSERT_EQ(file.ReadAt(2, buffer, 3), 3);
	EXPECT_EQ(std::string(buffer, 3), "234");
	EXPECT_EQ(file.Position(), 10);
	EXPECT_EQ(file.Seek(-1, SEEK_SET), B_FROM_ERRNO(EINVAL));
	EXPECT_EQ(file.ReadAt(-1, buffer, 1), B_BAD_VALUE);

	ASSERT_EQ(file.SetSize(4), B_OK);
	EXPECT_EQ(ReadWholeFile(Data("f")), "0123");

	const off_t farAway = off_t(5) << 30;
	ASSERT_EQ(file.WriteAt(farAway, "end", 3), 3);
	off_t size = 0;
	ASSERT_EQ(file.GetSize(&size), B_OK);
	EXPECT_EQ(size, farAway + 3);
	ASSERT_EQ(file.ReadAt(farAway + 1, buffer, sizeof(buffer)), 2);
	EXPECT_EQ(std::string(buffer, 2), "nd");
	EXPECT_EQ(file.Seek(farAway, SEEK_SET), farAway);
	ASSERT_EQ(file.Read(buffer, 3), 3);
	EXPECT_EQ(file.Position(), farAway + 3);
	ASSERT_EQ(file.Sync(), B_OK);
}


// A file reached through a link is the target, on the target's volume.
TEST_F(VolumeTest, FileFollowsLinks)
{
	fFolder.WriteFile("data/target", "target");
	ASSERT_EQ(symlink(Data("target").c_str(), Boot("link").c_str()), 0);
	BFile file("/boot/link", B_READ_ONLY);
	ASSERT_EQ(file.InitCheck(), B_OK);
	EXPECT_STREQ(file.Path(), "/data/target");
	node_ref ref;
	ASSERT_EQ(file.GetNodeRef(&ref), B_OK);
	EXPECT_EQ(ref.device, dev_t(2));
	char buffer[6];
	ASSERT_EQ(file.Read(buffer, 6), 6);
	EXPECT_EQ(std::string(buffer, 6), "target");
}


// A file opened from an entry opens what a path would: the file itself, a
// link's target; a folder, a missing entry and no entry at all are refused.
TEST_F(VolumeTest, FileFromAnEntry)
{
	fFolder.WriteFile("data/target", "target");
	fFolder.WriteFile("hd/plain", "plain");
	ASSERT_EQ(symlink(Data("target").c_str(), Boot("link").c_str()), 0);
	struct Case {
		const char* path;
		status_t status;
		const char* content;
	};
	for (const Case& test : {Case{"/boot/plain", B_OK, "plain"},
			Case{"/boot/link", B_OK, "target"}, Case{"/data", B_IS_A_DIRECTORY, ""},
			Case{"/boot/missing", B_ENTRY_NOT_FOUND, ""}}) {
		BEntry entry(test.path);
		ASSERT_EQ(entry.InitCheck(), B_OK) << test.path;
		BFile file(&entry, B_READ_ONLY);
		EXPECT_EQ(file.InitCheck(), test.status) << test.path;
		char buffer[16];
		ssize_t length = file.InitCheck() == B_OK ? file.Read(buffer, sizeof(buffer)) : 0;
		EXPECT_EQ(std::string(buffer, size_t(length)), test.content) << test.path;
	}
	BEntry none;
	EXPECT_EQ(BFile(&none, B_READ_ONLY).InitCheck(), B_BAD_VALUE);
}


// flock: a second node of the same file cannot take the lock while the
// first holds it.
TEST_F(VolumeTest, NodeLocking)
{
	fFolder.WriteFile("hd/f", "x");
	BNode first("/boot/f");
	BNode second("/boot/f");
	EXPECT_EQ(first.Unlock(), B_BAD_VALUE);
	ASSERT_EQ(first.Lock(), B_OK);
	EXPECT_EQ(first.Lock(), B_BUSY);
	EXPECT_EQ(second.Lock(), B_BUSY);
	ASSERT_EQ(first.Unlock(), B_OK);
	EXPECT_EQ(second.Lock(), B_OK);
	EXPECT_TRUE(first == second);
}
