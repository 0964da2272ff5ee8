#include <storage/Directory.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <storage/File.h>
#include <storage/SymLink.h>

#include "StorageTestSupport.h"

// Entries reached through a folder's descriptor: a link in the place of a
// folder or file is never followed, and a folder held keeps taking entries
// after it was renamed and a link put in its place.
TEST_F(VolumeTest, EntriesThroughTheFolderNeverFollowLinks)
{
	fFolder.MakeFolder("hd/target/sub");
	fFolder.WriteFile("data/secret", "private");
	ASSERT_EQ(symlink(Data("").c_str(), Boot("target/dirlink").c_str()), 0);
	ASSERT_EQ(symlink(Data("secret").c_str(), Boot("target/filelink").c_str()), 0);
	BDirectory target("/boot/target");
	ASSERT_EQ(target.InitCheck(), B_OK);

	BDirectory folder;
	BFile file;
	EXPECT_EQ(target.OpenFolderAt("dirlink", false, &folder), B_NOT_ALLOWED);
	EXPECT_EQ(target.OpenFolderAt("dirlink", true, &folder), B_NOT_ALLOWED);
	EXPECT_EQ(target.CreateFileAt("filelink", false, &file), B_NOT_ALLOWED);
	EXPECT_EQ(target.CreateFileAt("filelink", true, &file), B_FILE_EXISTS);
	EXPECT_EQ(target.OpenFileAt("filelink", B_READ_ONLY, &file), B_NOT_ALLOWED);
	EXPECT_EQ(target.OpenFileAt("sub", B_READ_ONLY, &file), B_IS_A_DIRECTORY);
	EXPECT_EQ(target.OpenFileAt("absent", B_READ_ONLY, &file), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(target.OpenFileAt("absent", B_WRITE_ONLY | B_CREATE_FILE, &file), B_BAD_VALUE);
	EXPECT_EQ(file.InitCheck(), B_BAD_VALUE);
	EXPECT_EQ(ReadWholeFile(Data("secret")).value_or(""), "private");
	for (const char* name : {"", ".", "..", "sub/x"}) {
		EXPECT_EQ(target.OpenFolderAt(name, true, &folder), B_BAD_VALUE) << name;
		EXPECT_EQ(target.OpenFileAt(name, B_READ_ONLY, &file), B_BAD_VALUE) << name;
		EXPECT_EQ(target.CreateFileAt(name, false, &file), B_BAD_VALUE) << name;
		EXPECT_EQ(target.RemoveAt(name), B_BAD_VALUE) << name;
	}

	bool created = true;
	ASSERT_EQ(target.OpenFolderAt("sub", true, &folder, &created), B_OK);
	EXPECT_FALSE(created);
	ASSERT_EQ(target.OpenFolderAt("new", true, &folder, &created), B_OK);
	EXPECT_TRUE(created);
	EXPECT_STREQ(folder.Path(), "/boot/target/new");

	// Another process swaps the held folder for a link to elsewhere.
	ASSERT_EQ(rename(Boot("target/new").c_str(), Boot("target/moved").c_str()), 0);
	ASSERT_EQ(symlink(Data("").c_str(), Boot("target/new").c_str()), 0);
	ASSERT_EQ(folder.CreateFileAt("inside", true, &file), B_OK);
	ASSERT_EQ(file.Write("x", 1), 1);
	EXPECT_TRUE(ReadWholeFile(Boot("target/moved/inside")).has_value());
	EXPECT_FALSE(ReadWholeFile(Data("inside")).has_value());
	BFile reading;
	ASSERT_EQ(folder.OpenFileAt("inside", B_READ_ONLY, &reading), B_OK);
	char byte = 0;
	EXPECT_EQ(reading.Read(&byte, 1), 1);
	EXPECT_EQ(byte, 'x');

	// A link made here is the link itself: its times change, not its target's.
	BSymLink link;
	ASSERT_EQ(target.CreateSymLinkAt("made", Data("secret").c_str(), &link), B_OK);
	EXPECT_EQ(target.CreateSymLinkAt("made", "x", nullptr), B_FILE_EXISTS);
	ASSERT_EQ(link.SetModificationTime(1000000), B_OK);
	struct stat status;
	ASSERT_EQ(target.GetStatAt("made", &status), B_OK);
	EXPECT_TRUE(S_ISLNK(status.st_mode));
	EXPECT_EQ(status.st_mtime, 1000000);
	struct stat folderStatus;
	ASSERT_EQ(target.GetStat(&folderStatus), B_OK);
	EXPECT_EQ(status.st_dev, folderStatus.st_dev);
	ASSERT_EQ(stat(Data("secret").c_str(), &status), 0);
	EXPECT_NE(status.st_mtime, 1000000);

	// Renames never replace; removal takes files, links and empty folders.
	EXPECT_EQ(target.RenameAt("made", "sub"), B_FILE_EXISTS);
	ASSERT_EQ(target.RenameAt("made", "made.1"), B_OK);
	EXPECT_EQ(target.GetStatAt("made", &status), B_ENTRY_NOT_FOUND);
	for (const char* name : {"made.1", "dirlink", "sub"})
		EXPECT_EQ(target.RemoveAt(name), B_OK) << name;
	EXPECT_TRUE(ReadWholeFile(Data("secret")).has_value());
}
