#include <storage/Entry.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <storage/Directory.h>
#include <storage/Path.h>

#include "StorageTestSupport.h"

// An entry names a place whose folder exists; it reports its name, path,
// parent and ref in the system's form.
TEST_F(VolumeTest, EntryNamesAndParents)
{
	fFolder.WriteFile("hd/folder/file", "x");
	BEntry entry("/Test HD/folder/./file");
	ASSERT_EQ(entry.InitCheck(), B_OK);
	EXPECT_TRUE(entry.Exists());
	EXPECT_TRUE(entry.IsFile());
	EXPECT_STREQ(entry.Path(), "/Test HD/folder/file");
	EXPECT_TRUE(entry == BEntry("/boot/folder/file"));
	char name[B_FILE_NAME_LENGTH];
	ASSERT_EQ(entry.GetName(name), B_OK);
	EXPECT_STREQ(name, "file");
	entry_ref ref;
	ASSERT_EQ(entry.GetRef(&ref), B_OK);
	EXPECT_EQ(ref.path, "/Test HD/folder/file");
	BPath path;
	ASSERT_EQ(entry.GetPath(&path), B_OK);
	EXPECT_STREQ(path.Path(), "/Test HD/folder/file");

	BEntry parent;
	ASSERT_EQ(entry.GetParent(&parent), B_OK);
	EXPECT_STREQ(parent.Path(), "/Test HD/folder");
	ASSERT_EQ(parent.GetParent(&parent), B_OK);
	EXPECT_STREQ(parent.Path(), "/Test HD");
	ASSERT_EQ(parent.GetParent(&parent), B_OK);
	EXPECT_STREQ(parent.Path(), "/");

	BEntry absent("/boot/folder/absent");
	ASSERT_EQ(absent.InitCheck(), B_OK);
	EXPECT_FALSE(absent.Exists());
	EXPECT_EQ(BEntry("/boot/nofolder/absent").InitCheck(), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(BEntry("/boot/folder/file/below").InitCheck(), B_NOT_A_DIRECTORY);
	EXPECT_EQ(BEntry("/nowhere/x").InitCheck(), B_ENTRY_NOT_FOUND);

	ASSERT_EQ(get_ref_for_path("/boot/folder/../folder", &ref), B_OK);
	EXPECT_EQ(ref.path, "/boot/folder");
	BEntry fromRef(&ref);
	EXPECT_TRUE(fromRef.IsDirectory());
}


// Traversal follows links one after another, relative and absolute; a link
// that leaves every volume or loops is an error.
TEST_F(VolumeTest, TraversalFollowsLinks)
{
	fFolder.WriteFile("data/real", "x");
	ASSERT_EQ(symlink(Data("real").c_str(), Boot("absolute").c_str()), 0);
	ASSERT_EQ(symlink("absolute", Boot("relative").c_str()), 0);
	ASSERT_EQ(symlink("../../outside", Boot("escape").c_str()), 0);
	ASSERT_EQ(symlink("loop", Boot("loop").c_str()), 0);
	ASSERT_EQ(symlink("missing", Boot("dangling").c_str()), 0);

	BEntry entry("/boot/relative", true);
	ASSERT_EQ(entry.InitCheck(), B_OK);
	EXPECT_STREQ(entry.Path(), "/data/real");
	EXPECT_TRUE(BEntry("/boot/relative").IsSymLink());

	EXPECT_EQ(BEntry("/boot/escape", true).InitCheck(), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(BEntry("/boot/loop", true).InitCheck(), B_LINK_LIMIT);
	BEntry dangling("/boot/dangling", true);
	ASSERT_EQ(dangling.InitCheck(), B_OK);
	EXPECT_STREQ(dangling.Path(), "/boot/missing");
	EXPECT_FALSE(dangling.Exists());
}


// Renaming and moving inside a volume, with and without replacing an entry;
// moves across volumes and of volume roots are refused.
TEST_F(VolumeTest, RenameMoveAndRemove)
{
	fFolder.WriteFile("hd/a", "a");
	fFolder.WriteFile("hd/b", "b");
	fFolder.MakeFolder("hd/sub");
	fFolder.WriteFile("data/d", "d");

	BEntry entry("/boot/a");
	EXPECT_EQ(entry.Rename("b"), B_FILE_EXISTS);
	EXPECT_EQ(ReadWholeFile(Boot("b")), "b");
	ASSERT_EQ(entry.Rename("c"), B_OK);
	EXPECT_STREQ(entry.Path(), "/boot/c");
	EXPECT_EQ(ReadWholeFile(Boot("c")), "a");
	ASSERT_EQ(entry.Rename("b", true), B_OK);
	EXPECT_EQ(ReadWholeFile(Boot("b")), "a");
	EXPECT_EQ(entry.Rename("x/y"), B_BAD_VALUE);
	EXPECT_EQ(entry.Rename(".."), B_BAD_VALUE);

	BDirectory sub("/boot/sub");
	ASSERT_EQ(entry.MoveTo(&sub), B_OK);
	EXPECT_STREQ(entry.Path(), "/boot/sub/b");
	ASSERT_EQ(entry.MoveTo(&sub, "renamed"), B_OK);
	EXPECT_EQ(ReadWholeFile(Boot("sub/renamed")), "a");

	BDirectory data("/data");
	EXPECT_EQ(entry.MoveTo(&data), B_CROSS_DEVICE_LINK);
	EXPECT_EQ(BEntry("/data").Rename("other"), B_NOT_ALLOWED);
	EXPECT_EQ(BEntry("/data/d").MoveTo(&data, "/boot"), B_NOT_ALLOWED);

	ASSERT_EQ(entry.Remove(), B_OK);
	EXPECT_FALSE(entry.Exists());
	EXPECT_EQ(entry.Remove(), B_ENTRY_NOT_FOUND);
	BEntry folder("/boot/sub");
	ASSERT_EQ(folder.Remove(), B_OK);
	EXPECT_FALSE(folder.Exists());
	fFolder.WriteFile("hd/full/x", "x");
	EXPECT_EQ(BEntry("/boot/full").Remove(), B_DIRECTORY_NOT_EMPTY);
}
