#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <storage/Directory.h>
#include <storage/Entry.h>

#include "MVBackupList.h"
#include "NextSecond.h"
#include "SelectionTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// The tree in iteration order as "level path".
std::vector<std::string> Walk(MVBackupList& list)
{
	std::vector<std::string> entries;
	for (const entry_ref* ref = list.FindFirst(); ref != nullptr; ref = list.FindNext())
		entries.push_back(std::to_string(list.OutlineLevel()) + " " + ref->path);
	return entries;
}

}	// namespace

class BackupListTest : public SelectionTest {};


// A single file brings the nodes of its path, each with its level, and its
// size; the folders above it have the times of their entries: when each
// last changed, its status change included.
TEST_F(BackupListTest, SingleFileCreatesEveryComponent)
{
	WriteBoot("home/a", "12345");
	SetTime(Boot("home"), 1000);
	SetTime(Boot("home/a"), 2000);
	MVBackupList list;
	BMessage selection = Selection({"INCLUDE /boot/home/a"});
	list.SetTo(&selection);

	EXPECT_EQ(list.CountItems(), 3);
	EXPECT_THAT(Walk(list), ElementsAre("0 /boot", "1 /boot/home", "2 /boot/home/a"));
	const entry_ref* ref = list.FindFirst();
	ASSERT_NE(ref, nullptr);
	EXPECT_TRUE(BEntry(ref).IsDirectory());
	VolumeTable::Location root;
	ASSERT_EQ(VolumeTable::Locate(ref->path.c_str(), &root), B_OK);
	EXPECT_TRUE(root.IsVolumeRoot());
	EXPECT_EQ(list.GetSize(), 0);
	ref = list.FindNext();
	EXPECT_TRUE(BEntry(ref).IsDirectory());
	struct stat status;
	ASSERT_EQ(stat(Boot("home").c_str(), &status), 0);
	EXPECT_EQ(list.GetModificationTime(), int32(std::max(status.st_mtime, status.st_ctime)));
	ref = list.FindNext();
	EXPECT_TRUE(BEntry(ref).IsFile());
	EXPECT_STREQ(ref->name(), "a");
	EXPECT_EQ(list.GetSize(), 5);
	ASSERT_EQ(stat(Boot("home/a").c_str(), &status), 0);
	EXPECT_EQ(list.GetModificationTime(), int32(status.st_ctime));
	EXPECT_EQ(list.FindNext(), nullptr);
	EXPECT_EQ(list.OutlineLevel(), -1);
	EXPECT_EQ(list.GetSize(), 0);
	EXPECT_EQ(list.FindNext(), nullptr);
}


// Lines apply in order: an exclusion after an inclusion cuts, before it
// cuts nothing; missing paths and repeated inclusions change nothing.
TEST_F(BackupListTest, IncludeExcludeOrder)
{
	WriteBoot("home/a");
	WriteBoot("home/tmp/b");
	WriteBoot("home/tmp/c/d");
	MVBackupList list;

	BMessage cut = Selection({"INCLUDE /boot/home/*", "EXCLUDE /boot/home/tmp/*"});
	list.SetTo(&cut);
	EXPECT_THAT(Walk(list), ElementsAre("0 /boot", "1 /boot/home", "2 /boot/home/a"));
	EXPECT_EQ(list.CountItems(), 3);

	BMessage reversed = Selection({"EXCLUDE /boot/home/tmp/*", "INCLUDE /boot/home/*"});
	list.SetTo(&reversed);
	EXPECT_EQ(list.CountItems(), 7);
	EXPECT_EQ(list.GetLeaf("/boot/home/tmp/c/d") != MVBackupList::kNoNode, true);

	BMessage repeated = Selection({"INCLUDE /boot/home/*", "INCLUDE /boot/home/tmp/b",
		"INCLUDE /boot/home/missing", "INCLUDE /boot/home/a", "EXCLUDE /boot/nothing/*",
		"INCLUDE /nowhere/x"});
	list.SetTo(&repeated);
	EXPECT_EQ(list.CountItems(), 7);

	BMessage missing = Selection({"INCLUDE /boot/home/missing"});
	list.SetTo(&missing);
	EXPECT_TRUE(list.IsEmpty());
	EXPECT_EQ(list.CountItems(), 0);
	EXPECT_EQ(list.FindFirst(), nullptr);
}


// A folder line lists the folder recursively in the order the folder
// lists its entries, and every folder precedes its contents; volumes come
// in the order of their first line.
TEST_F(BackupListTest, FolderContentsInDirectoryOrder)
{
	for (const char* name : {"q", "b", "zz", "a", "m"})
		WriteBoot(std::string("home/") + name, name);
	WriteBoot("home/sub/inner", "inner");
	fFolder.WriteFile("data/file", "datafile");
	std::vector<std::string> expected{"0 /data", "1 /data/file", "0 /boot", "1 /boot/home"};
	BDirectory home("/boot/home");
	entry_ref child;
	while (home.GetNextRef(&child) == B_OK) {
		expected.push_back("2 " + child.path);
		if (child.path == "/boot/home/sub")
			expected.push_back("3 /boot/home/sub/inner");
	}

	MVBackupList list;
	BMessage selection = Selection({"INCLUDE /data/file", "INCLUDE /boot/home/*"});
	list.SetTo(&selection);
	EXPECT_EQ(Walk(list), expected);
	EXPECT_EQ(list.CountItems(), 11);
	MVBackupList::NodeId inner = list.GetLeaf("/boot/home/sub/inner");
	EXPECT_EQ(list.Size(inner), 5);
	EXPECT_STREQ(list.Name(list.Parent(inner)), "sub");
}


// Lines naming the boot volume by its name meet "/boot" lines in one node.
TEST_F(BackupListTest, BootVolumeByEitherName)
{
	WriteBoot("home/a");
	WriteBoot("home/b");
	MVBackupList list;
	BMessage selection = Selection({"INCLUDE /Test HD/home/a", "INCLUDE /boot/home/*",
		"EXCLUDE /Test HD/home/b"});
	list.SetTo(&selection);
	EXPECT_THAT(Walk(list), ElementsAre("0 /boot", "1 /boot/home", "2 /boot/home/a"));
}


// Paths are normalised; lines that are no paths are skipped.
TEST_F(BackupListTest, MalformedLinesAreSkipped)
{
	WriteBoot("home/a");
	MVBackupList list;
	BMessage selection = Selection({"INCLUDE //boot/./home/x/../a", "INCLUDE", "INCLUDE /*",
		"INCLUDE relative/a", "INCLUDE /boot/..", "EXCLUDE /", "INCLUDE /boot/home/a/"});
	selection.AddString("refs", "INCLUDE /boot/home/*");
	list.SetTo(&selection);
	EXPECT_THAT(Walk(list), ElementsAre("0 /boot", "1 /boot/home", "2 /boot/home/a"));
}


// Symbolic links are entries of their own: never listed through, whether
// met in a folder or named by a line.
TEST_F(BackupListTest, SymbolicLinksAreNotFollowed)
{
	WriteBoot("target/inside", "abc");
	MakeBootFolder("home");
	ASSERT_EQ(symlink(Boot("target").c_str(), Boot("home/link").c_str()), 0);
	ASSERT_EQ(symlink("nowhere", Boot("home/dangling").c_str()), 0);
	MVBackupList list;

	BMessage folder = Selection({"INCLUDE /boot/home/*"});
	list.SetTo(&folder);
	EXPECT_EQ(list.CountItems(), 4);
	MVBackupList::NodeId link = list.GetLeaf("/boot/home/link");
	ASSERT_NE(link, MVBackupList::kNoNode);
	EXPECT_EQ(list.FirstChild(link), MVBackupList::kNoNode);
	EXPECT_EQ(list.Size(link), static_cast<int64>(Boot("target").size()));
	EXPECT_NE(list.GetLeaf("/boot/home/dangling"), MVBackupList::kNoNode);

	BMessage named = Selection({"INCLUDE /boot/home/link/*"});
	list.SetTo(&named);
	EXPECT_THAT(Walk(list), ElementsAre("0 /boot", "1 /boot/home", "2 /boot/home/link"));
	list.InsertAllSubDirs(list.GetLeaf("/boot/home/link"));
	EXPECT_EQ(list.CountItems(), 3);
}


// The filter drops unchanged leaves, and folders left with nothing that
// are unchanged themselves; changed files keep the folders above them. An
// entry changed since the archive time counts by its status change too: a
// file moved in with an old modification time, or given new permissions.
TEST_F(BackupListTest, FilterKeepsChangedEntries)
{
	for (const char* name : {"home/old", "home/new", "home/moved", "home/chmodded",
			"home/quiet/old", "home/touched/old"}) {
		WriteBoot(name);
	}
	for (const char* name : {"home/old", "home/quiet/old", "home/quiet", "home/touched/old",
			"home/moved", "home/chmodded"}) {
		SetTime(Boot(name), 100);
	}
	// Everything above changed before the archive time; what follows after.
	int32 archiveTime = NextSecond();
	SetTime(Boot("home/new"), archiveTime + 100);
	SetTime(Boot("home/moved"), 100);
	ASSERT_EQ(chmod(Boot("home/chmodded").c_str(), 0600), 0);
	SetTime(Boot("home/touched"), 100);

	MVBackupList list;
	BMessage selection = Selection({"INCLUDE /boot/home/*"});
	list.SetTo(&selection);
	EXPECT_EQ(list.CountItems(), 10);
	list.SetFilter(archiveTime);
	std::vector<std::string> kept = Walk(list);
	std::sort(kept.begin(), kept.end());
	EXPECT_THAT(kept, ElementsAre("0 /boot", "1 /boot/home", "2 /boot/home/chmodded",
		"2 /boot/home/moved", "2 /boot/home/new", "2 /boot/home/touched"));
	EXPECT_EQ(list.CountItems(), 6);

	list.SetFilter(INT32_MAX);
	EXPECT_TRUE(list.IsEmpty());
	EXPECT_EQ(list.CountItems(), 0);
	EXPECT_EQ(list.FindFirst(), nullptr);
}


// Linking by position: after, before, as first child, as parent; other
// positions and links that would make a cycle change nothing.
TEST_F(BackupListTest, AddEntryPositions)
{
	MVBackupList list;
	entry_ref aRef("/x/a"), bRef("/x/b"), cRef("/x/c"), dRef("/x/d");
	MVBackupList::NodeId a = list.CreateEntry(&aRef);
	MVBackupList::NodeId b = list.CreateEntry(&bRef);
	MVBackupList::NodeId c = list.CreateEntry(&cRef);
	MVBackupList::NodeId d = list.CreateEntry(&dRef);
	EXPECT_EQ(list.CountItems(), 4);
	EXPECT_TRUE(list.IsEmpty());

	EXPECT_TRUE(list.AddEntry(MVBackupList::kNoNode, a, kTreeListAfter));
	EXPECT_TRUE(list.AddEntry(a, b, kTreeListAfter));
	EXPECT_TRUE(list.AddEntry(a, c, kTreeListBefore));
	EXPECT_THAT(Walk(list), ElementsAre("0 /c", "0 /a", "0 /b"));
	EXPECT_EQ(list.PreviousSibling(c), MVBackupList::kNoNode);
	EXPECT_EQ(list.PreviousSibling(b), a);

	EXPECT_FALSE(list.AddEntry(a, d, 4));
	EXPECT_FALSE(list.AddEntry(a, d, -1));
	EXPECT_TRUE(list.AddEntry(a, d, kTreeListFirstChild));
	EXPECT_TRUE(list.AddEntry(d, b, kTreeListParent));
	EXPECT_THAT(Walk(list), ElementsAre("0 /c", "0 /a", "1 /a/b", "2 /a/b/d"));
	EXPECT_FALSE(list.AddEntry(d, a, kTreeListFirstChild));
	EXPECT_FALSE(list.AddEntry(b, b, kTreeListAfter));
	EXPECT_EQ(list.GetLeaf("/a/b/d"), d);

	list.RemoveEntry(b);
	EXPECT_THAT(Walk(list), ElementsAre("0 /c", "0 /a"));
	EXPECT_EQ(list.CountItems(), 4);
	EXPECT_TRUE(list.AddEntry(c, b, kTreeListAfter));
	EXPECT_THAT(Walk(list), ElementsAre("0 /c", "0 /b", "1 /b/d", "0 /a"));
	list.FreeEntry(b);
	EXPECT_EQ(list.CountItems(), 2);
	EXPECT_EQ(list.Name(b), nullptr);
	list.FreeList(list.First());
	EXPECT_TRUE(list.IsEmpty());
	EXPECT_EQ(list.CountItems(), 0);
}


// Many lines naming entries of one wide folder find their nodes among the
// siblings, however they were added and removed.
TEST_F(BackupListTest, WideFolderLookups)
{
	MakeBootFolder("wide");
	constexpr int kFiles = 300;
	for (int index = 0; index < kFiles; index++)
		WriteBoot("wide/f" + std::to_string(index));
	MVBackupList list;
	BMessage selection;
	for (int index = kFiles - 1; index >= 0; index--)
		selection.AddString("SELECTION", "INCLUDE /boot/wide/f" + std::to_string(index));
	for (int index = 0; index < kFiles; index += 2)
		selection.AddString("SELECTION", "EXCLUDE /boot/wide/f" + std::to_string(index));
	for (int index = 0; index < kFiles; index += 4)
		selection.AddString("SELECTION", "INCLUDE /boot/wide/f" + std::to_string(index));
	list.SetTo(&selection);

	EXPECT_EQ(list.CountItems(), 2 + kFiles / 2 + kFiles / 4);
	for (int index = 0; index < kFiles; index++) {
		std::string path = "/boot/wide/f" + std::to_string(index);
		bool expected = index % 2 == 1 || index % 4 == 0;
		MVBackupList::NodeId node = list.GetLeaf(path.c_str());
		EXPECT_EQ(node != MVBackupList::kNoNode, expected) << path;
		entry_ref ref;
		if (node != MVBackupList::kNoNode) {
			EXPECT_EQ(list.GetRef(node, &ref), B_OK);
			EXPECT_EQ(ref.path, path);
		}
	}
	// The first include of the reversed run stays first.
	EXPECT_STREQ(list.Name(list.FirstChild(list.GetLeaf("/boot/wide"))), "f299");
}


// Folders included and excluded over and over leave a sound tree: freed
// names are reclaimed without disturbing the live ones.
TEST_F(BackupListTest, RepeatedRebuildKeepsNames)
{
	std::string longName(120, 'n');
	for (int index = 0; index < 1000; index++)
		WriteBoot("home/" + longName + std::to_string(index));
	WriteBoot("keep/" + longName);
	// The kept names come after freed ones, so reclaiming must move them.
	BMessage selection = Selection({"INCLUDE /boot/home/*", "INCLUDE /boot/keep/*"});
	for (int round = 0; round < 12; round++) {
		selection.AddString("SELECTION", "EXCLUDE /boot/home/*");
		selection.AddString("SELECTION", "INCLUDE /boot/home/*");
	}
	MVBackupList list;
	list.SetTo(&selection);
	EXPECT_EQ(list.CountItems(), 1 + 2 + 1 + 1000);
	EXPECT_NE(list.GetLeaf(("/boot/keep/" + longName).c_str()), MVBackupList::kNoNode);
	for (int index = 0; index < 1000; index += 97) {
		std::string path = "/boot/home/" + longName + std::to_string(index);
		EXPECT_NE(list.GetLeaf(path.c_str()), MVBackupList::kNoNode) << index;
	}
}


// A deep folder chain is listed and freed without recursion trouble.
TEST_F(BackupListTest, DeepTree)
{
	std::string relative = "deep";
	for (int level = 0; level < 150; level++)
		relative += "/d";
	WriteBoot(relative + "/leaf");
	MVBackupList list;
	BMessage selection = Selection({"INCLUDE /boot/deep/*"});
	list.SetTo(&selection);
	EXPECT_EQ(list.CountItems(), 2 + 150 + 1);
	const entry_ref* ref = list.FindFirst();
	while (ref != nullptr && list.OutlineLevel() < 152)
		ref = list.FindNext();
	ASSERT_NE(ref, nullptr);
	EXPECT_EQ(ref->path, "/boot/" + relative + "/leaf");
	BMessage cut = Selection({"INCLUDE /boot/deep/*", "EXCLUDE /boot/deep/d"});
	list.SetTo(&cut);
	EXPECT_EQ(list.CountItems(), 2);
}
