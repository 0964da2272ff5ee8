// The catalogue list's slots and the browse entries made from a catalogue
// message, without a server or files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Catalogue.h"
#include "CatalogueBrowser.h"
#include "CatalogueList.h"

namespace {

CatalogueSlot Slot(const char* name, int32 number)
{
	CatalogueSlot slot;
	slot.name = name;
	slot.node = 1000 + number;
	slot.title = std::string("title ") + name;
	slot.date = 2000 + number;
	slot.size = 3000 + number;
	slot.jobId = 40 + number;
	slot.mode = number;
	slot.baseId = 50 + number;
	slot.password = number % 2;
	slot.destination = number % 2 ? "MVSCSIStreamer" : "MVImage";
	return slot;
}

void ExpectSlot(const BMessage& list, int32 index, const CatalogueSlot& slot)
{
	SCOPED_TRACE("slot " + std::to_string(index));
	EXPECT_STREQ(list.GetString("name", index, ""), slot.name.c_str());
	int64 node = 0;
	ASSERT_EQ(list.FindInt64("node", index, &node), B_OK);
	EXPECT_EQ(node, slot.node);
	EXPECT_STREQ(list.GetString("title", index, ""), slot.title.c_str());
	int32 date = 0;
	ASSERT_EQ(list.FindTime("date", index, &date), B_OK);
	EXPECT_EQ(date, slot.date);
	int64 size = 0;
	ASSERT_EQ(list.FindInt64("size", index, &size), B_OK);
	EXPECT_EQ(size, slot.size);
	EXPECT_EQ(list.GetInt32("job_id", index, -9), slot.jobId);
	EXPECT_EQ(list.GetInt32("mode", index, -9), slot.mode);
	EXPECT_EQ(list.GetInt32("base_id", index, -9), slot.baseId);
	EXPECT_EQ(list.GetInt32("pw", index, -9), slot.password);
	EXPECT_STREQ(list.GetString("dest", index, "?"), slot.destination.c_str());
	EXPECT_EQ(list.GetInt32("type", index, 0), -1);
	EXPECT_STREQ(list.GetString("path", index, ""), " ");
	EXPECT_EQ(list.GetInt32("medianr", index, 0), 1);
	int64 offset = -1;
	ASSERT_EQ(list.FindInt64("offset", index, &offset), B_OK);
	EXPECT_EQ(offset, 0);
}

// A backup of two volumes; the comments give each entry's position.
BMessage TreeCatalogue()
{
	Catalogue catalogue;
	CatalogueInfo info;
	info.backupId = "2024010100000001";
	info.title = "Weekly";
	info.date = 1700000000;
	EXPECT_EQ(catalogue.Begin(info), B_OK);
	struct Item {
		const char* path;
		EntryKind kind;
		int32 level;
	};
	const Item items[] = {
		{"/HD", EntryKind::VolumeRoot, 0},             // 0
		{"/HD/home", EntryKind::Directory, 1},         // 1
		{"/HD/home/a", EntryKind::File, 2},            // 2
		{"/HD/home/sub", EntryKind::Directory, 2},     // 3
		{"/HD/home/sub/b", EntryKind::File, 3},        // 4
		{"/HD/top.txt", EntryKind::File, 1},           // 5
		{"/Other", EntryKind::VolumeRoot, 0},          // 6
		{"/Other/c", EntryKind::File, 1},              // 7
	};
	int32 number = 0;
	for (const Item& item : items) {
		CatalogueEntry entry;
		entry.path = item.path;
		entry.kind = item.kind;
		entry.level = item.level;
		entry.size = 100 + number;
		entry.offset = 220 + 1000 * number;
		entry.mediumNumber = 1 + number / 4;
		entry.modificationTime = 1600000000 + number;
		entry.entryNumber = number++;
		EXPECT_EQ(catalogue.AddEntry(entry), B_OK);
	}
	EXPECT_EQ(catalogue.SetSize(123456), B_OK);
	return catalogue.Message();
}

std::vector<std::string> Paths(const BMessage& reply)
{
	std::vector<std::string> paths;
	const char* path;
	for (int32 i = 0; reply.FindString("path", i, &path) == B_OK; i++)
		paths.emplace_back(path);
	return paths;
}

std::vector<std::string> Browse(const BMessage& catalogue, const std::string& entryPath,
	int32 index, int32 mode)
{
	BMessage reply;
	CatalogueBrowser(catalogue).ReadDir("backup", entryPath, index, mode, &reply);
	return Paths(reply);
}

using Strings = std::vector<std::string>;

}	// namespace

// Removing a slot takes it out of every field, so that the slots after it
// move down with all their values; appending after that keeps them aligned.
TEST(CatalogueListTest, RemovingASlotKeepsLaterSlotsTogether)
{
	BMessage list('MVLd');
	for (int32 i = 0; i < 4; i++)
		ASSERT_EQ(CatalogueList::Append(&list, Slot(("c" + std::to_string(i)).c_str(), i)), B_OK);

	ASSERT_EQ(CatalogueList::Remove(&list, 1), B_OK);
	ASSERT_EQ(CatalogueList::CountSlots(list), 3);
	ExpectSlot(list, 0, Slot("c0", 0));
	ExpectSlot(list, 1, Slot("c2", 2));
	ExpectSlot(list, 2, Slot("c3", 3));

	ASSERT_EQ(CatalogueList::Remove(&list, 2), B_OK);
	ASSERT_EQ(CatalogueList::Append(&list, Slot("c9", 9)), B_OK);
	ExpectSlot(list, 2, Slot("c9", 9));

	EXPECT_EQ(CatalogueList::Remove(&list, 3), B_BAD_INDEX);
	EXPECT_EQ(CatalogueList::Remove(&list, -1), B_BAD_INDEX);
	EXPECT_EQ(CatalogueList::CountSlots(list), 3);

	// The last slot's removal leaves an empty list that still takes slots.
	for (int32 i = 0; i < 3; i++)
		ASSERT_EQ(CatalogueList::Remove(&list, 0), B_OK);
	EXPECT_TRUE(list.IsEmpty());
	ASSERT_EQ(CatalogueList::Append(&list, Slot("new", 5)), B_OK);
	ExpectSlot(list, 0, Slot("new", 5));
}

// A list whose arrays disagree takes no more slots, and lookups and notices
// stay inside it.
TEST(CatalogueListTest, MisalignedListsAreNotExtended)
{
	BMessage list('MVLd');
	ASSERT_EQ(CatalogueList::Append(&list, Slot("a", 1)), B_OK);
	ASSERT_EQ(CatalogueList::Append(&list, Slot("b", 2)), B_OK);
	ASSERT_EQ(list.RemoveData("mode", 1), B_OK);

	EXPECT_EQ(CatalogueList::Append(&list, Slot("c", 3)), B_BAD_DATA);
	EXPECT_EQ(CatalogueList::CountSlots(list), 2);
	EXPECT_EQ(CatalogueList::FindName(list, "c"), -1);

	BMessage notice;
	EXPECT_EQ(CatalogueList::AddNotice(list, 1, &notice), B_BAD_INDEX);
	EXPECT_EQ(CatalogueList::AddNotice(list, 5, &notice), B_BAD_INDEX);
	ASSERT_EQ(CatalogueList::AddNotice(list, 0, &notice), B_OK);
	EXPECT_STREQ(notice.GetString("name", ""), "a");
	EXPECT_EQ(notice.GetInt32("mode", 0), 1);
	int32 date = 0;
	EXPECT_EQ(notice.FindTime("date", &date), B_OK);
	EXPECT_EQ(date, 2001);

	EXPECT_EQ(CatalogueList::FindName(list, "b"), 1);
	EXPECT_EQ(CatalogueList::FindNode(list, 1002), 1);
	EXPECT_EQ(CatalogueList::FindNode(list, 7), -1);
	EXPECT_EQ(CatalogueList::FindName(list, nullptr), -1);
}

// Only names of entries directly inside the catalogue folder are accepted.
TEST(CatalogueListTest, FileNamesStayInTheFolder)
{
	EXPECT_TRUE(CatalogueList::IsFileName("2024010112345678"));
	// Hidden names are no catalogues: a writer's temporary files are hidden.
	for (const char* name : {"", ".", "..", "a/b", "/x", "../x", "x/", "..hidden",
			".2024010112345678.0badcafe~"})
		EXPECT_FALSE(CatalogueList::IsFileName(name)) << name;
	EXPECT_FALSE(CatalogueList::IsFileName(nullptr));
	EXPECT_FALSE(CatalogueList::IsFileName(std::string(256, 'a').c_str()));
	EXPECT_TRUE(CatalogueList::IsFileName(std::string(255, 'a').c_str()));
}

// Paths name a catalogue first; the rest, from its '/' on, names an entry.
TEST(CatalogueBrowserTest, PathsSplitIntoCatalogueAndEntry)
{
	std::string name;
	std::string rest;
	ASSERT_TRUE(CatalogueBrowser::SplitPath("/backup", &name, &rest));
	EXPECT_EQ(name, "backup");
	EXPECT_EQ(rest, "");
	ASSERT_TRUE(CatalogueBrowser::SplitPath("/backup/HD/home", &name, &rest));
	EXPECT_EQ(name, "backup");
	EXPECT_EQ(rest, "/HD/home");
	for (const char* path : {"", "/", "//HD", "backup/HD"})
		EXPECT_FALSE(CatalogueBrowser::SplitPath(path, &name, &rest)) << path;
	EXPECT_FALSE(CatalogueBrowser::SplitPath(nullptr, &name, &rest));
}

// The top level lists the volumes only; a folder lists its children, its
// whole subtree, or itself; the start index skips what lies before it.
TEST(CatalogueBrowserTest, WalksFollowTheLevels)
{
	BMessage catalogue = TreeCatalogue();
	EXPECT_EQ(Browse(catalogue, "", 0, kLogReadChildren), (Strings{"/HD", "/Other"}));
	EXPECT_EQ(Browse(catalogue, "", 0, kLogReadSubtree).size(), 8u);
	EXPECT_EQ(Browse(catalogue, "", 6, kLogReadChildren), (Strings{"/Other"}));
	EXPECT_EQ(Browse(catalogue, "", 99, kLogReadSubtree), Strings{});
	EXPECT_EQ(Browse(catalogue, "", -5, kLogReadChildren), (Strings{"/HD", "/Other"}));

	EXPECT_EQ(Browse(catalogue, "/HD/home", 0, kLogReadChildren),
		(Strings{"/HD/home/a", "/HD/home/sub"}));
	EXPECT_EQ(Browse(catalogue, "/HD/home", 0, kLogReadSubtree),
		(Strings{"/HD/home/a", "/HD/home/sub", "/HD/home/sub/b"}));
	EXPECT_EQ(Browse(catalogue, "/HD/home", 0, kLogReadEntry), (Strings{"/HD/home"}));
	EXPECT_EQ(Browse(catalogue, "/HD", 0, kLogReadChildren),
		(Strings{"/HD/home", "/HD/top.txt"}));
	// An unknown mode lists the children.
	EXPECT_EQ(Browse(catalogue, "/Other", 0, 7), (Strings{"/Other/c"}));
	EXPECT_EQ(Browse(catalogue, "/HD/top.txt", 0, kLogReadChildren), Strings{});

	// The search starts at the index: an entry before it is not found.
	EXPECT_EQ(Browse(catalogue, "/HD/home", 1, kLogReadEntry), (Strings{"/HD/home"}));
	EXPECT_EQ(Browse(catalogue, "/HD/home", 2, kLogReadEntry), Strings{});
	EXPECT_EQ(Browse(catalogue, "/HD/nothing", 0, kLogReadSubtree), Strings{});
	EXPECT_EQ(Browse(catalogue, "HD/home", 0, kLogReadEntry), Strings{});
}

// A browse entry carries the catalogue entry's values; the root entry those
// of the backup, its date as a time.
TEST(CatalogueBrowserTest, EntriesCarryTheCatalogueValues)
{
	BMessage catalogue = TreeCatalogue();
	CatalogueBrowser browser(catalogue);
	ASSERT_EQ(browser.CountEntries(), 8);

	BMessage reply;
	ASSERT_TRUE(browser.AddEntry(4, &reply));
	EXPECT_EQ(reply.GetInt32("level", -9), 3);
	EXPECT_STREQ(reply.GetString("name", ""), "b");
	EXPECT_EQ(reply.GetInt32("type", -9), 0);
	EXPECT_EQ(reply.GetInt64("size", 0), 104);
	int32 date = 0;
	ASSERT_EQ(reply.FindTime("date", &date), B_OK);
	EXPECT_EQ(date, 1600000004);
	EXPECT_EQ(reply.GetInt32("medianr", 0), 2);
	EXPECT_EQ(reply.GetInt64("offset", 0), 4220);
	EXPECT_STREQ(reply.GetString("path", ""), "/HD/home/sub/b");
	EXPECT_EQ(reply.GetInt32("index", -9), 4);
	EXPECT_EQ(reply.GetInt32("aktfilenr", -9), 4);
	EXPECT_FALSE(browser.AddEntry(8, &reply));
	EXPECT_FALSE(browser.AddEntry(-1, &reply));

	BMessage root;
	browser.AddRootEntry("backup", &root);
	EXPECT_EQ(root.GetInt32("level", 0), -1);
	EXPECT_STREQ(root.GetString("name", ""), "backup");
	EXPECT_EQ(root.GetInt32("type", 0), -1);
	EXPECT_EQ(root.GetInt64("size", 0), 123456);
	ASSERT_EQ(root.FindTime("date", &date), B_OK);
	EXPECT_EQ(date, 1700000000);
	EXPECT_EQ(root.GetInt32("medianr", 0), 1);
	EXPECT_EQ(root.GetInt64("offset", -1), 0);
	EXPECT_STREQ(root.GetString("path", ""), "Weekly");
	EXPECT_EQ(root.GetInt32("index", 0), -1);
	EXPECT_EQ(Paths(root), Strings{"Weekly"});
}

// Parallel arrays of unequal length, or of another type, bound the entries:
// nothing outside them is read.
TEST(CatalogueBrowserTest, DamagedArraysBoundTheEntries)
{
	BMessage catalogue = TreeCatalogue();
	ASSERT_EQ(catalogue.RemoveData(kLogMediumKey, 7), B_OK);
	ASSERT_EQ(catalogue.RemoveData(kLogMediumKey, 6), B_OK);
	ASSERT_EQ(catalogue.RemoveName(kLogEntryNumberKey), B_OK);
	CatalogueBrowser browser(catalogue);
	EXPECT_EQ(browser.CountEntries(), 6);
	EXPECT_EQ(Browse(catalogue, "", 0, kLogReadSubtree).size(), 6u);
	EXPECT_EQ(Browse(catalogue, "/Other", 0, kLogReadEntry), Strings{});
	BMessage reply;
	ASSERT_TRUE(browser.AddEntry(5, &reply));
	// The optional entry number is left out where it is missing.
	EXPECT_FALSE(reply.HasData("aktfilenr", B_INT32_TYPE));

	BMessage retyped = TreeCatalogue();
	ASSERT_EQ(retyped.RemoveName(kLogLevelKey), B_OK);
	for (int32 i = 0; i < 8; i++)
		ASSERT_EQ(retyped.AddInt64(kLogLevelKey, 0), B_OK);
	EXPECT_EQ(CatalogueBrowser(retyped).CountEntries(), 0);
	EXPECT_EQ(Browse(retyped, "", 0, kLogReadSubtree), Strings{});

	// A level as high as it goes has no children and ends no walk early.
	BMessage deep = TreeCatalogue();
	ASSERT_EQ(deep.ReplaceInt32(kLogLevelKey, 2, INT32_MAX), B_OK);
	EXPECT_EQ(Browse(deep, "/HD/home/a", 0, kLogReadChildren), Strings{});
	EXPECT_EQ(Browse(BMessage(), "", 0, kLogReadSubtree), Strings{});
}
