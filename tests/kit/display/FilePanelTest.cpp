// The file panel: what its filter sees and lets through, what it sends for
// open, save and cancel, and a button added beside its own.

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QFileDialog>
#include <QPushButton>

#include <app/AppDefs.h>
#include <app/Handler.h>
#include <app/Message.h>
#include <interface/Button.h>
#include <interface/Display.h>
#include <interface/FilePanel.h>
#include <interface/Window.h>
#include <storage/Entry.h>
#include <storage/VolumeTable.h>

#include "TestFolder.h"

namespace {

// Keeps every message it gets.
class TargetWindow : public BWindow {
public:
	TargetWindow() : BWindow(BRect(10, 10, 109, 109), "Target", B_TITLED_WINDOW, 0) {}

	void MessageReceived(BMessage* message) override { fReceived.push_back(*message); }

	std::vector<BMessage> fReceived;
};


// Keeps what it was asked about; lets through what does not begin with
// "hidden".
class RecordingFilter : public BRefFilter {
public:
	bool Filter(const entry_ref* ref, BNode* node, struct stat* st,
		const char* mimeType) override
	{
		fSeen.emplace_back(ref->path, mimeType);
		return strncmp(ref->name(), "hidden", 6) != 0;
	}

	std::string TypeOf(const std::string& path) const
	{
		for (const auto& [seenPath, type] : fSeen) {
			if (seenPath == path)
				return type;
		}
		return "";
	}

	std::vector<std::pair<std::string, std::string>> fSeen;
};


// A boot volume "HD" with the volume "Disk" inside its folder.
class FilePanelTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fFolder.WriteFile("hd/docs/notes.txt", "notes");
		fFolder.WriteFile("hd/docs/hidden-file.txt", "hidden");
		fFolder.MakeFolder("hd/docs/sub");
		fFolder.MakeFolder("hd/disk");
		fVolumes.emplace("MORVANE_VOLUMES", "HD=" + fFolder / "hd" + ";Disk=" + fFolder / "hd/disk");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		fTarget = new TargetWindow;
		fTarget->Show();
		fMessenger = BMessenger(nullptr, fTarget);
	}

	void TearDown() override
	{
		if (fTarget->Lock())
			fTarget->Quit();
		BDisplay::ProcessEvents();
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	bool WaitForMessages(size_t count)
	{
		return BDisplay::WaitFor([&] { return fTarget->fReceived.size() >= count; });
	}

	static QPushButton* Button(BFilePanel* panel, const char* name)
	{
		return panel->Widget()->findChild<QPushButton*>(QString::fromUtf8(name));
	}

	// The names the panel's list shows.
	static std::vector<std::string> Listed(BFilePanel* panel)
	{
		std::vector<std::string> names;
		auto* list = panel->Widget()->findChild<QAbstractItemView*>(QStringLiteral("listView"));
		if (list == nullptr)
			return names;
		QAbstractItemModel* model = list->model();
		for (int row = 0; row < model->rowCount(list->rootIndex()); row++)
			names.push_back(model->index(row, 0, list->rootIndex()).data().toString().toStdString());
		std::sort(names.begin(), names.end());
		return names;
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fVolumes;
	TargetWindow* fTarget = nullptr;
	BMessenger fMessenger;
};

}	// namespace


TEST_F(FilePanelTest, TheFilterSeesTypesAndDecidesWhatIsListed)
{
	RecordingFilter filter;
	BFilePanel panel(B_OPEN_PANEL, &fMessenger, nullptr, 0, true, nullptr, &filter);
	ASSERT_EQ(panel.SetPanelDirectory("/boot/docs"), B_OK);
	panel.Show();
	const std::vector<std::string> expected = {"notes.txt", "sub"};
	ASSERT_TRUE(BDisplay::WaitFor([&] { return Listed(&panel) == expected; }));
	EXPECT_EQ(filter.TypeOf("/boot/docs/sub"), B_DIRECTORY_MIME_TYPE);
	EXPECT_EQ(filter.TypeOf("/boot/docs/notes.txt"), "text/plain");
	EXPECT_EQ(filter.TypeOf("/boot/docs/hidden-file.txt"), "text/plain");

	// The root of a volume is a volume.
	ASSERT_EQ(panel.SetPanelDirectory("/boot"), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] { return !filter.TypeOf("/Disk").empty(); }));
	EXPECT_EQ(filter.TypeOf("/Disk"), B_VOLUME_MIME_TYPE);
	entry_ref shown;
	ASSERT_EQ(panel.GetPanelDirectory(&shown), B_OK);
	EXPECT_EQ(shown.path, "/boot");
	EXPECT_EQ(panel.SetPanelDirectory("/boot/missing"), B_ENTRY_NOT_FOUND);
}


TEST_F(FilePanelTest, OpenSendsTheRefsThenCancel)
{
	BMessage own('mine');
	const struct {
		BMessage* message;
		uint32 nodeFlavors;
		const char* chosen;
		uint32 expected;
	} cases[] = {
		{nullptr, 0, "/boot/docs/notes.txt", B_REFS_RECEIVED},
		{&own, 0, "/boot/docs/notes.txt", 'mine'},
		{nullptr, B_DIRECTORY_NODE, "/Disk", B_REFS_RECEIVED},
	};
	for (const auto& test : cases) {
		fTarget->fReceived.clear();
		BFilePanel panel(B_OPEN_PANEL, &fMessenger, nullptr, test.nodeFlavors, false,
			test.message);
		panel.Show();
		ASSERT_EQ(panel.SelectAndOpen(test.chosen), B_OK) << test.chosen;
		ASSERT_TRUE(WaitForMessages(2)) << test.chosen;
		const BMessage& result = fTarget->fReceived[0];
		EXPECT_EQ(result.what, test.expected);
		entry_ref ref;
		ASSERT_EQ(result.FindRef("refs", &ref), B_OK);
		BEntry chosen(test.chosen);
		BEntry got(&ref);
		EXPECT_TRUE(chosen == got) << ref.path;
		EXPECT_EQ(fTarget->fReceived[1].what, B_CANCEL);
		EXPECT_EQ(uint32(fTarget->fReceived[1].GetInt32("old_what", 0)), test.expected);
		EXPECT_FALSE(panel.IsShowing());
	}

	// What the flavors leave out cannot be opened.
	BFilePanel folders(B_OPEN_PANEL, &fMessenger, nullptr, B_DIRECTORY_NODE);
	EXPECT_EQ(folders.SelectAndOpen("/boot/docs/notes.txt"), B_BAD_VALUE);
	EXPECT_EQ(folders.SelectAndOpen("/boot/docs/none"), B_ENTRY_NOT_FOUND);
	BFilePanel save(B_SAVE_PANEL, &fMessenger);
	EXPECT_EQ(save.SelectAndOpen("/boot/docs/notes.txt"), B_BAD_VALUE);
}


TEST_F(FilePanelTest, SaveSendsTheFolderAndTheName)
{
	BFilePanel panel(B_SAVE_PANEL, &fMessenger);
	ASSERT_EQ(panel.SetPanelDirectory("/boot/docs/sub"), B_OK);
	panel.SetSaveText("report.txt");
	panel.Show();
	QPushButton* save = Button(&panel, "default button");
	ASSERT_NE(save, nullptr);
	save->click();
	ASSERT_TRUE(WaitForMessages(2));
	const BMessage& result = fTarget->fReceived[0];
	EXPECT_EQ(result.what, B_SAVE_REQUESTED);
	entry_ref directory;
	ASSERT_EQ(result.FindRef("directory", &directory), B_OK);
	EXPECT_EQ(directory.path, "/boot/docs/sub");
	EXPECT_STREQ(result.GetString("name"), "report.txt");
	EXPECT_EQ(fTarget->fReceived[1].what, B_CANCEL);
}


TEST_F(FilePanelTest, CancelCloseAndHideSendCancel)
{
	const std::function<void(BFilePanel*)> ways[] = {
		[](BFilePanel* panel) { Button(panel, "cancel button")->click(); },
		[](BFilePanel* panel) { panel->Widget()->close(); },
		[](BFilePanel* panel) { panel->Hide(); },
	};
	for (const auto& close : ways) {
		fTarget->fReceived.clear();
		BFilePanel panel(B_OPEN_PANEL, &fMessenger);
		panel.Show();
		ASSERT_TRUE(panel.IsShowing());
		close(&panel);
		ASSERT_TRUE(WaitForMessages(1));
		EXPECT_EQ(fTarget->fReceived[0].what, B_CANCEL);
		EXPECT_FALSE(panel.IsShowing());
	}
}


TEST_F(FilePanelTest, AnAddedButtonSitsLeftOfCancelAndSendsToTheTarget)
{
	BFilePanel panel(B_OPEN_PANEL, nullptr);
	auto* button = new BButton(BRect(0, 0, 180, 20), "extra button", "Extra",
		new BMessage('xtra'));
	panel.AddButton(button);
	// A target set later reaches the added button too.
	panel.SetTarget(fMessenger);
	panel.Show();
	BDisplay::ProcessEvents();
	QPushButton* cancel = Button(&panel, "cancel button");
	QPushButton* extra = Button(&panel, "extra button");
	ASSERT_NE(cancel, nullptr);
	ASSERT_NE(extra, nullptr);
	QRect cancelFrame(cancel->mapTo(panel.Widget(), QPoint(0, 0)), cancel->size());
	QRect extraFrame(extra->mapTo(panel.Widget(), QPoint(0, 0)), extra->size());
	EXPECT_EQ(extraFrame.top(), cancelFrame.top());
	EXPECT_EQ(extraFrame.bottom(), cancelFrame.bottom());
	EXPECT_EQ(cancelFrame.left() - extraFrame.right() - 1, 10);
	EXPECT_GE(extraFrame.width(), 181);

	extra->click();
	ASSERT_TRUE(WaitForMessages(1));
	EXPECT_EQ(fTarget->fReceived[0].what, uint32('xtra'));
}
