#include <storage/SymLink.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>

#include <storage/Path.h>

#include "StorageTestSupport.h"

// A link's text comes back as stored; MakeLinkedPath turns relative texts
// and native absolute ones into system paths, and refuses what lies on no
// volume.
TEST_F(VolumeTest, ReadsAndResolvesLinks)
{
	fFolder.MakeFolder("hd/folder");
	ASSERT_EQ(symlink("../x/./y", Boot("folder/relative").c_str()), 0);
	ASSERT_EQ(symlink(Data("z").c_str(), Boot("folder/absolute").c_str()), 0);
	ASSERT_EQ(symlink("/definitely/not/on/a/volume", Boot("folder/outside").c_str()), 0);

	BSymLink relative("/boot/folder/relative");
	ASSERT_EQ(relative.InitCheck(), B_OK);
	std::string text;
	ASSERT_EQ(relative.ReadLink(&text), B_OK);
	EXPECT_EQ(text, "../x/./y");
	EXPECT_FALSE(relative.IsAbsolute());
	char small[4];
	EXPECT_EQ(relative.ReadLink(small, sizeof(small)), 8);
	EXPECT_STREQ(small, "../");
	BPath path;
	ASSERT_EQ(relative.MakeLinkedPath(&path), ssize_t(strlen("/boot/x/y")));
	EXPECT_STREQ(path.Path(), "/boot/x/y");
	ASSERT_GT(relative.MakeLinkedPath("/data/a/b", &path), 0);
	EXPECT_STREQ(path.Path(), "/data/a/x/y");

	BSymLink absolute("/boot/folder/absolute");
	ASSERT_EQ(absolute.ReadLink(&text), B_OK);
	EXPECT_EQ(text, Data("z"));
	EXPECT_TRUE(absolute.IsAbsolute());
	ASSERT_GT(absolute.MakeLinkedPath(&path), 0);
	EXPECT_STREQ(path.Path(), "/data/z");

	BSymLink outside("/boot/folder/outside");
	EXPECT_EQ(outside.MakeLinkedPath(&path), B_ENTRY_NOT_FOUND);

	EXPECT_EQ(BSymLink("/boot/folder").InitCheck(), B_BAD_VALUE);
	EXPECT_EQ(BSymLink("/boot/folder/none").InitCheck(), B_ENTRY_NOT_FOUND);
}
