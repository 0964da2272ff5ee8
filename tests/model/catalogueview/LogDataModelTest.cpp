#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <app/Messenger.h>

#include "FakeRegistryTest.h"
#include "MVLogDataModel.h"
#include "SampleCatalogue.h"

namespace {

using Strings = std::vector<std::string>;

// bk1: /vol, /vol/home, /vol/home/a, /vol/home/sub, /vol/home/sub/b,
// /vol/home/c, /vol/link; bk2: /data, /data/x, /data/docs, /data/docs/y.
BMessage FirstCatalogue()
{
	return MakeCatalogue("bk1", "First", 1600000000, {
		{"/vol", EntryKind::VolumeRoot, 0, 0},
		{"/vol/home", EntryKind::Directory, 1, 0},
		{"/vol/home/a", EntryKind::File, 2, 10},
		{"/vol/home/sub", EntryKind::Directory, 2, 0},
		{"/vol/home/sub/b", EntryKind::File, 3, 20},
		{"/vol/home/c", EntryKind::File, 2, 30},
		{"/vol/link", EntryKind::SymLink, 1, 0},
	});
}

BMessage SecondCatalogue()
{
	return MakeCatalogue("bk2", "Second", 1600000000, {
		{"/data", EntryKind::VolumeRoot, 0, 0},
		{"/data/x", EntryKind::File, 1, 1},
		{"/data/docs", EntryKind::Directory, 1, 0},
		{"/data/docs/y", EntryKind::File, 2, 2},
	});
}

BMessage Selection(const Strings& lines)
{
	BMessage selection;
	for (const std::string& line : lines)
		selection.AddString("SELECTION", line);
	return selection;
}

// The catalogue paths of the current-selection walk, position 1 on.
Strings Walk(const MVLogDataModel& model)
{
	Strings walk;
	for (int32 position = 1; position <= model.CountSelected(); position++)
		walk.push_back(model.FullListCurrentSelection(position)->CataloguePath());
	EXPECT_EQ(model.FullListCurrentSelection(0), nullptr);
	EXPECT_EQ(model.FullListCurrentSelection(model.CountSelected() + 1), nullptr);
	return walk;
}

class LogDataModelTest : public FakeRegistryTest {
protected:
	void SetUp() override
	{
		fRegistry.AddCatalogue("bk1", FirstCatalogue());
		fRegistry.AddCatalogue("bk2", SecondCatalogue());
		FakeRegistryTest::SetUp();
	}
};

}	// namespace

// Selection lines mark exactly their items, walked in catalogue order
// whatever the order of the lines; the lines given back select the same
// items in a fresh model.
TEST_F(LogDataModelTest, SelectionLinesMarkTheirItems)
{
	struct Case {
		Strings lines;
		Strings walk;
		int32 unknown;
		Strings linesBack;
	};
	const Case cases[] = {
		{{"INCLUDE /bk1/*"}, {"/bk1", "/bk1/vol", "/bk1/vol/home", "/bk1/vol/home/a",
			"/bk1/vol/home/sub", "/bk1/vol/home/sub/b", "/bk1/vol/home/c", "/bk1/vol/link"}, 0,
			{"INCLUDE /bk1/*"}},
		// An exclude line takes the subtree out with or without "/*".
		{{"INCLUDE /bk1/vol/home/*", "EXCLUDE /bk1/vol/home/sub"},
			{"/bk1/vol/home", "/bk1/vol/home/a", "/bk1/vol/home/c"}, 0,
			{"INCLUDE /bk1/vol/home", "INCLUDE /bk1/vol/home/a", "INCLUDE /bk1/vol/home/c"}},
		{{"INCLUDE /bk1/vol/home/sub/b"}, {"/bk1/vol/home/sub/b"}, 0,
			{"INCLUDE /bk1/vol/home/sub/b"}},
		{{"INCLUDE /bk1/vol/home"}, {"/bk1/vol/home"}, 0, {"INCLUDE /bk1/vol/home"}},
		{{"EXCLUDE /bk1/vol/*", "INCLUDE /bk1/vol/link/*", "INCLUDE /bk1/vol/nothing",
			"INCLUDE /nobackup/*", "EXCLUDE /bk1/vol/home/c/deeper", "INCLUDE /", "short"},
			{"/bk1/vol/link"}, 5, {"INCLUDE /bk1/vol/link"}},
		{{"INCLUDE /bk2/data/docs/*", "INCLUDE /bk1/vol/home/c"},
			{"/bk1/vol/home/c", "/bk2/data/docs", "/bk2/data/docs/y"}, 0,
			{"INCLUDE /bk1/vol/home/c", "INCLUDE /bk2/data/docs/*"}},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.lines.front());
		MVLogDataModel model(Registry());
		BMessage selection = Selection(test.lines);
		EXPECT_EQ(model.SetSelection(&selection), test.unknown);
		EXPECT_EQ(model.CountBackups(), 2);
		EXPECT_EQ(Walk(model), test.walk);
		EXPECT_EQ(model.SelectionLines(), test.linesBack);

		BMessage back;
		back.AddString("SELECTION", "INCLUDE /bk2/*");
		model.GetSelection(&back);
		MVLogDataModel fresh(Registry());
		EXPECT_EQ(fresh.SetSelection(&back), 0);
		EXPECT_EQ(Walk(fresh), test.walk);
	}
}

// Marks set item by item on a partly loaded tree: a folder whose children
// were never loaded is given back without "/*", so the round trip does not
// select what was never marked; loading more keeps the marks.
TEST_F(LogDataModelTest, PartlyLoadedRoundTrip)
{
	MVLogDataModel model(Registry());
	ASSERT_EQ(model.LoadBackups(), B_OK);
	MVLogDataItem* data = model.FindPath("/bk2/data");
	ASSERT_NE(data, nullptr);
	ASSERT_EQ(model.Select(data, true, false), B_OK);
	ASSERT_EQ(model.Select(model.FindPath("/bk2/data/x"), true, false), B_OK);
	MVLogDataItem* docs = model.FindPath("/bk2/data/docs");
	ASSERT_EQ(model.Select(docs, true, false), B_OK);
	EXPECT_FALSE(docs->childrenLoaded);
	const Strings lines = {"INCLUDE /bk2/data", "INCLUDE /bk2/data/x", "INCLUDE /bk2/data/docs"};
	EXPECT_EQ(model.SelectionLines(), lines);

	int32 queries = fRegistry.CountQueries();
	ASSERT_EQ(model.LoadSubtree(model.FindBackup("bk2")), B_OK);
	EXPECT_EQ(fRegistry.CountQueries(), queries + 1);
	EXPECT_EQ(Walk(model), (Strings{"/bk2/data", "/bk2/data/x", "/bk2/data/docs"}));
	EXPECT_EQ(model.SelectionLines(), lines);

	BMessage selection;
	model.GetSelection(&selection);
	MVLogDataModel fresh(Registry());
	EXPECT_EQ(fresh.SetSelection(&selection), 0);
	EXPECT_EQ(Walk(fresh), Walk(model));

	model.DeselectAll();
	EXPECT_EQ(model.CountSelected(), 0);
	EXPECT_TRUE(model.SelectionLines().empty());
}

// Every selected item knows its backup, across two backups, and the walk
// follows marks changed after it was first taken.
TEST_F(LogDataModelTest, SuperItemAcrossBackups)
{
	MVLogDataModel model(Registry());
	BMessage selection = Selection({"INCLUDE /bk1/vol/home/a", "INCLUDE /bk2/*"});
	ASSERT_EQ(model.SetSelection(&selection), 0);
	const Strings backups = {"bk1", "bk2", "bk2", "bk2", "bk2", "bk2"};
	ASSERT_EQ(model.CountSelected(), int32(backups.size()));
	for (int32 position = 1; position <= model.CountSelected(); position++) {
		MVLogDataItem* backup = model.SuperItemFromCurrentSelection(position);
		ASSERT_NE(backup, nullptr);
		EXPECT_TRUE(backup->IsBackup());
		EXPECT_EQ(backup->data.name, backups[size_t(position) - 1]);
		EXPECT_EQ(backup, model.FullListCurrentSelection(position)->Backup());
	}
	EXPECT_EQ(model.SuperItemFromCurrentSelection(0), nullptr);
	EXPECT_EQ(model.SuperItemFromCurrentSelection(7), nullptr);

	ASSERT_EQ(model.Select(model.FindPath("/bk1/vol/home/a"), false, false), B_OK);
	EXPECT_EQ(model.SuperItemFromCurrentSelection(1)->data.name, "bk2");
	EXPECT_EQ(model.CountSelected(), 5);
}

// The columns of a backup, a volume, a folder, a file and a link, as text
// and as numbers.
TEST_F(LogDataModelTest, Columns)
{
	// Dates read the same everywhere; only this program's tests see it.
	setenv("TZ", "UTC", 1);
	tzset();
	MVLogDataModel model(Registry());
	ASSERT_EQ(model.LoadBackups(), B_OK);
	MVLogDataItem* file = model.FindPath("/bk1/vol/home/sub/b");
	ASSERT_NE(file, nullptr);
	file->redirection = "/target";
	struct Case {
		const char* path;
		Strings texts;
		std::vector<double> values;
	};
	// Name, size, type, date, medium, offset, index, redirection.
	const Case cases[] = {
		{"/bk1", {"bk1", "4096", "backup", "2020-09-13 12:26", "1", "0", "-1", ""},
			{0, 4096, -1, 1600000000, 1, 0, -1, 0}},
		{"/bk1/vol", {"vol", "0", "volume", "2001-09-09 01:46", "1", "220", "0", ""},
			{0, 0, 3, 1000000000, 1, 220, 0, 0}},
		{"/bk1/vol/home", {"home", "0", "folder", "2001-09-09 01:46", "1", "320", "1", ""},
			{0, 0, 1, 1000000001, 1, 320, 1, 0}},
		{"/bk1/vol/home/sub/b", {"b", "20", "file", "2001-09-09 01:46", "1", "620", "4",
			"/target"}, {0, 20, 0, 1000000004, 1, 620, 4, 0}},
		{"/bk1/vol/link", {"link", "0", "link", "2001-09-09 01:46", "1", "820", "6", ""},
			{0, 0, 2, 1000000006, 1, 820, 6, 0}},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.path);
		MVLogDataItem* item = model.FindPath(test.path);
		ASSERT_NE(item, nullptr);
		for (int32 column = 0; column <= int32(MVLogColumn::Redirection); column++) {
			EXPECT_EQ(MVLogDataModel::ColumnText(*item, MVLogColumn(column)),
				test.texts[size_t(column)]) << column;
			EXPECT_EQ(MVLogDataModel::ColumnValue(*item, MVLogColumn(column)),
				test.values[size_t(column)]) << column;
		}
	}
	EXPECT_EQ(model.FindPath("/bk1")->data.fullPath, "First");
}

// A backup of 100,000 files selected whole comes in one subtree answer and
// is walked in catalogue order; its lines give it back as one.
TEST_F(LogDataModelTest, LargeBackupSelectedWhole)
{
	std::vector<std::string> paths = {"/big"};
	for (int32 folder = 0; folder < 100; folder++) {
		std::string folderPath = "/big/d" + std::to_string(folder);
		paths.push_back(folderPath);
		for (int32 file = 0; file < 1000; file++)
			paths.push_back(folderPath + "/f" + std::to_string(file));
	}
	std::vector<CatalogueItem> items;
	for (const std::string& path : paths) {
		int32 level = int32(std::count(path.begin(), path.end(), '/')) - 1;
		items.push_back({path.c_str(), level == 0 ? EntryKind::VolumeRoot
			: level == 1 ? EntryKind::Directory : EntryKind::File, level, 1});
	}
	fRegistry.AddCatalogue("huge", MakeCatalogue("huge", "Huge", 0, items));

	MVLogDataModel model(Registry());
	int32 queries = fRegistry.CountQueries();
	BMessage selection = Selection({"INCLUDE /huge/*"});
	ASSERT_EQ(model.SetSelection(&selection), 0);
	// The catalogue list and the subtree.
	EXPECT_EQ(fRegistry.CountQueries(), queries + 2);
	ASSERT_EQ(model.CountSelected(), int32(paths.size()) + 1);
	EXPECT_EQ(model.FullListCurrentSelection(1)->CataloguePath(), "/huge");
	for (size_t index = 0; index < paths.size(); index++) {
		const MVLogDataItem* item = model.FullListCurrentSelection(int32(index) + 2);
		ASSERT_EQ(item->CataloguePath(), "/huge" + paths[index]) << index;
		ASSERT_EQ(item->level, items[index].level + 2);
	}
	EXPECT_EQ(model.SuperItemFromCurrentSelection(model.CountSelected()),
		model.FindBackup("huge"));
	EXPECT_EQ(model.SelectionLines(), Strings{"INCLUDE /huge/*"});
}

// Damaged answers: levels that jump or leave the folder, entries without a
// usable name, arrays of unequal length or of the wrong type, an empty
// answer, and a registry that cannot be reached.
TEST_F(LogDataModelTest, DamagedAnswers)
{
	struct Element {
		const char* name;
		int32 level;
		int32 type;
	};
	auto answer = [](const std::vector<Element>& elements, int32 shortBy) {
		BMessage reply('MVLd');
		for (size_t i = 0; i < elements.size(); i++) {
			reply.AddString("name", elements[i].name);
			reply.AddString("path", std::string("/x/") + elements[i].name);
			if (i + size_t(shortBy) >= elements.size())
				continue;
			reply.AddInt32("level", elements[i].level);
			reply.AddInt32("type", elements[i].type);
			reply.AddInt64("size", 1);
			reply.AddTime("date", 0);
			reply.AddInt32("medianr", 1);
			reply.AddInt64("offset", 0);
		}
		return reply;
	};
	const std::vector<Element> jumping = {{"p", 5, 1}, {"q", 9, 0}, {"r", 7, 1}, {"s", 8, 0},
		{"", 6, 1}, {"t", 7, 0}, {"..", 5, 0}, {"u", 5, 0}, {"w", 4, 0}, {"z", 5, 0}};
	BMessage wrongType = answer({{"p", 0, 0}}, 0);
	(void)wrongType.RemoveName("level");
	wrongType.AddString("level", "0");
	struct Case {
		const char* label;
		BMessage reply;
		bool subtree;
		std::string tree;
	};
	const Case cases[] = {
		{"jumping subtree", answer(jumping, 0), true, "p:4 q:5 r:5 s:6 u:4 "},
		{"jumping listing", answer(jumping, 0), false, "p:4 u:4 "},
		{"unequal arrays", answer({{"p", 0, 1}, {"q", 1, 0}, {"r", 0, 0}}, 1), true,
			"p:4 q:5 "},
		{"wrong type", wrongType, true, ""},
		{"empty", BMessage('MVLd'), true, ""},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.label);
		fRegistry.SetAnswer("/bk1/vol/home", test.reply);
		MVLogDataModel model(Registry());
		ASSERT_EQ(model.LoadBackups(), B_OK);
		MVLogDataItem* home = model.FindPath("/bk1/vol/home");
		ASSERT_NE(home, nullptr);
		ASSERT_EQ(test.subtree ? model.LoadSubtree(home) : model.LoadChildren(home), B_OK);
		std::string tree;
		for (int32 index = 0; index < model.CountItems(); index++) {
			const MVLogDataItem* item = model.ItemAt(index);
			if (item->level > home->level)
				tree += item->data.name + ":" + std::to_string(item->level) + " ";
		}
		EXPECT_EQ(tree, test.tree);
		EXPECT_EQ(model.ItemAt(model.CountItems()), nullptr);
	}

	BMessage list('MVLd');
	for (const char* name : {"ok", "a/b", "..", "short"})
		list.AddString("name", name);
	for (int32 i = 0; i < 3; i++) {
		list.AddString("title", "t");
		list.AddTime("date", 0);
		list.AddInt64("size", 0);
	}
	fRegistry.SetAnswer("/", list);
	MVLogDataModel model(Registry());
	ASSERT_EQ(model.LoadBackups(), B_OK);
	ASSERT_EQ(model.CountBackups(), 1);
	EXPECT_EQ(model.BackupAt(0)->data.name, "ok");

	MVLogDataModel unreachable{BMessenger()};
	EXPECT_NE(unreachable.LoadBackups(), B_OK);
	BMessage selection = Selection({"INCLUDE /bk1/*", "INCLUDE /bk2/data"});
	EXPECT_EQ(unreachable.SetSelection(&selection), 2);
	EXPECT_EQ(unreachable.CountSelected(), 0);
	EXPECT_EQ(unreachable.FindPath("/bk1/vol"), nullptr);
}
