#include <gtest/gtest.h>

#include <unistd.h>

#include "EntryName.h"
#include "RestorePathGuard.h"
#include "RestoreTestSupport.h"

// RestorePathGuard on its own, against folders and links of the test volume
// "sys".

// Catalogue paths and header names with empty, "." or ".." components, or a
// "/" in a leaf name, are refused.
TEST(PathGuardTest, LexicalChecks)
{
	EXPECT_TRUE(IsSafeEntryPath("/sys/a/b"));
	EXPECT_TRUE(IsSafeEntryPath("/sys/..a/b."));
	for (const char* path : {"", "/", "sys/a", "/sys//a", "/sys/a/", "/sys/../a", "/sys/./a",
			"/sys/a/..", "/.."})
		EXPECT_FALSE(IsSafeEntryPath(path)) << path;
	EXPECT_FALSE(IsSafeEntryPath(nullptr));

	EXPECT_TRUE(IsSafeEntryName("notes"));
	EXPECT_TRUE(IsSafeEntryName("..."));
	for (const char* name : {"", ".", "..", "a/b", "/"})
		EXPECT_FALSE(IsSafeEntryName(name)) << name;
	EXPECT_FALSE(IsSafeEntryName(nullptr));
}

// A link the restore made is never written through, neither as a folder on
// the way nor as the folder itself; a link that was there before is the
// user's and is followed; the link itself may be replaced.
TEST(PathGuardTest, LinkMadeByTheRestore)
{
	RestoreTestBed bed;
	bed.Folder().MakeFolder("sys/outside");
	bed.Folder().MakeFolder("sys/t");
	ASSERT_EQ(symlink((bed.Folder() / "sys/outside").c_str(),
		(bed.Folder() / "sys/t/made").c_str()), 0);
	ASSERT_EQ(symlink((bed.Folder() / "sys/outside").c_str(),
		(bed.Folder() / "sys/t/users").c_str()), 0);
	RestorePathGuard guard;
	EXPECT_EQ(guard.CheckTarget("/sys/t/made/file", nullptr, false), B_OK);
	guard.NoteCreatedLink("/sys/t/made");

	EXPECT_EQ(guard.CheckTarget("/sys/t/made/file", nullptr, false), B_NOT_ALLOWED);
	EXPECT_EQ(guard.CheckTarget("/sys/t/made/deeper/file", nullptr, false), B_NOT_ALLOWED);
	EXPECT_EQ(guard.CheckTarget("/sys/t/made", nullptr, true), B_NOT_ALLOWED);
	EXPECT_EQ(guard.CheckTarget("/sys/t/made", nullptr, false), B_OK);
	EXPECT_EQ(guard.CheckTarget("/sys/t/users/file", nullptr, false), B_OK);
	EXPECT_EQ(guard.CheckTarget("/sys/t/file", nullptr, false), B_OK);
}

// A redirected item stays inside its redirection folder once links on the
// way are resolved: a link inside it that points out, a ".." in the target
// and a redirection nobody declared are refused.
TEST(PathGuardTest, RedirectionEscapingItsRoot)
{
	RestoreTestBed bed;
	bed.Folder().MakeFolder("sys/outside");
	bed.Folder().MakeFolder("sys/out/inner");
	ASSERT_EQ(symlink("../outside", (bed.Folder() / "sys/out/escape").c_str()), 0);
	ASSERT_EQ(symlink("inner", (bed.Folder() / "sys/out/within").c_str()), 0);
	RestorePathGuard guard;
	guard.AddRedirectionRoot("/sys/out");

	EXPECT_EQ(guard.CheckTarget("/sys/out/file", "/sys/out", false), B_OK);
	EXPECT_EQ(guard.CheckTarget("/sys/out/inner/file", "/sys/out/inner", false), B_OK);
	EXPECT_EQ(guard.CheckTarget("/sys/out/within/file", "/sys/out", false), B_OK);
	EXPECT_EQ(guard.CheckTarget("/sys/out/not-yet/file", "/sys/out", false), B_OK);
	EXPECT_EQ(guard.CheckTarget("/sys/out/escape/file", "/sys/out", false), B_NOT_ALLOWED);
	EXPECT_EQ(guard.CheckTarget("/sys/out/escape", "/sys/out", true), B_NOT_ALLOWED);
	EXPECT_EQ(guard.CheckTarget("/sys/out/../outside/file", "/sys/out", false),
		B_NOT_ALLOWED);
	EXPECT_EQ(guard.CheckTarget("/sys/outside/file", "/sys/elsewhere", false), B_NOT_ALLOWED);
	// The same folder asked again after a refusal is still refused.
	EXPECT_EQ(guard.CheckTarget("/sys/out/escape/other", "/sys/out", false), B_NOT_ALLOWED);
}
