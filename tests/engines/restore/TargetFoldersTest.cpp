#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "EntryName.h"
#include "RestoreTargetFolders.h"
#include "RestoreTestSupport.h"

// The lexical checks of entry names, and RestoreTargetFolders on its own,
// against folders and links of the test volume "sys".

// Catalogue paths and header names with empty, "." or ".." components, or a
// "/" in a leaf name, are refused.
TEST(TargetFoldersTest, LexicalChecks)
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

// Below the volume, or below a redirection root, a link is never gone
// through, whoever made it and wherever it points; folders missing on the
// way are made.
TEST(TargetFoldersTest, LinksOnTheWayAreNeverFollowed)
{
	RestoreTestBed bed;
	bed.Folder().MakeFolder("sys/outside");
	bed.Folder().MakeFolder("sys/out/inner");
	ASSERT_EQ(symlink("../outside", (bed.Folder() / "sys/out/escape").c_str()), 0);
	ASSERT_EQ(symlink("inner", (bed.Folder() / "sys/out/within").c_str()), 0);
	ASSERT_EQ(symlink((bed.Folder() / "sys/outside").c_str(),
		(bed.Folder() / "sys/users").c_str()), 0);
	RestoreTargetFolders folders;
	folders.AddRedirectionRoot("/sys/out/");

	struct Case {
		const char* target;
		const char* redirection;
		status_t expected;
		const char* madeFolder;	// native, below the test folder
	};
	const Case cases[] = {
		{"/sys/out/file", "/sys/out", B_OK, nullptr},
		{"/sys/out/inner/file", "/sys/out/inner", B_OK, nullptr},
		{"/sys/out/not-yet/deeper/file", "/sys/out/not-yet/deeper", B_OK,
			"sys/out/not-yet/deeper"},
		{"/sys/out/within/file", "/sys/out", B_NOT_ALLOWED, nullptr},
		{"/sys/out/escape/file", "/sys/out", B_NOT_ALLOWED, nullptr},
		{"/sys/out/../outside/file", "/sys/out", B_NOT_ALLOWED, nullptr},
		{"/sys/outside/file", "/sys/elsewhere", B_NOT_ALLOWED, nullptr},
		{"/sys/users/file", nullptr, B_NOT_ALLOWED, nullptr},
		{"/sys/plain/file", nullptr, B_OK, "sys/plain"},
		{"/sys", nullptr, B_NOT_ALLOWED, nullptr},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.target);
		BDirectory* parent = nullptr;
		std::string leaf;
		EXPECT_EQ(folders.OpenParent(test.target, test.redirection, &parent, &leaf),
			test.expected);
		if (test.expected == B_OK) {
			EXPECT_EQ(leaf, "file");
		}
		if (test.madeFolder != nullptr) {
			struct stat status;
			EXPECT_EQ(stat((bed.Folder() / test.madeFolder).c_str(), &status), 0);
		}
	}
	struct stat status;
	EXPECT_NE(stat((bed.Folder() / "sys/outside/file").c_str(), &status), 0);

	// A folder target: the link in its place is refused, the volume's root
	// is the starting folder itself.
	BDirectory* folder = nullptr;
	bool created = true;
	EXPECT_EQ(folders.OpenFolder("/sys/out/escape", "/sys/out", true, &folder), B_NOT_ALLOWED);
	ASSERT_EQ(folders.OpenFolder("/sys", nullptr, false, &folder, &created), B_OK);
	EXPECT_FALSE(created);
	ASSERT_EQ(folders.OpenFolder("/sys/out/new", "/sys/out", true, &folder, &created), B_OK);
	EXPECT_TRUE(created);
	EXPECT_EQ(folders.OpenFolder("/sys/out/absent", "/sys/out", false, &folder),
		B_ENTRY_NOT_FOUND);
}
