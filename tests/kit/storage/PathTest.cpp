#include <storage/Path.h>

#include <gtest/gtest.h>

#include "StorageTestSupport.h"

// Paths are normalised lexically without a lookup; normalize also checks
// the volume and gives the canonical "/boot" form.
TEST_F(VolumeTest, PathNormalisation)
{
	BPath path("/Test HD//a/./b/../c/");
	ASSERT_EQ(path.InitCheck(), B_OK);
	EXPECT_STREQ(path.Path(), "/Test HD/a/c");
	EXPECT_STREQ(path.Leaf(), "c");
	ASSERT_EQ(path.SetTo("/Test HD/a", "b/c", true), B_OK);
	EXPECT_STREQ(path.Path(), "/boot/a/b/c");

	EXPECT_EQ(path.SetTo("/unknown/x"), B_OK);
	EXPECT_EQ(path.SetTo("/unknown/x", nullptr, true), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(path.InitCheck(), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(path.Path(), nullptr);
	EXPECT_EQ(path.SetTo("relative"), B_BAD_VALUE);
	EXPECT_EQ(path.SetTo("/data/.."), B_BAD_VALUE);
	EXPECT_EQ(path.SetTo("/data", "/absolute"), B_BAD_VALUE);
	EXPECT_EQ(path.SetTo(static_cast<const char*>(nullptr)), B_BAD_VALUE);
}


// Parents, appending and comparison.
TEST_F(VolumeTest, PathParentsAndAppending)
{
	BPath path("/data/a/b");
	BPath parent;
	ASSERT_EQ(path.GetParent(&parent), B_OK);
	EXPECT_STREQ(parent.Path(), "/data/a");
	ASSERT_EQ(parent.GetParent(&parent), B_OK);
	ASSERT_EQ(parent.GetParent(&parent), B_OK);
	EXPECT_STREQ(parent.Path(), "/");
	EXPECT_STREQ(parent.Leaf(), "");
	EXPECT_EQ(parent.GetParent(&parent), B_ENTRY_NOT_FOUND);

	ASSERT_EQ(path.Append("c/../d"), B_OK);
	EXPECT_STREQ(path.Path(), "/data/a/b/d");
	EXPECT_EQ(path.Append("/e"), B_BAD_VALUE);
	EXPECT_EQ(path.Append("../../../.."), B_BAD_VALUE);
	EXPECT_STREQ(path.Path(), "/data/a/b/d");
	EXPECT_TRUE(path == "/data/a/b/d");
	EXPECT_TRUE(path == BPath("/data/a/b//d/"));
	EXPECT_TRUE(BPath() == BPath());
	EXPECT_FALSE(path == BPath());
}
