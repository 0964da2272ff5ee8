// The restore tool against a real server with real backups: a marked and
// redirected subtree comes back exactly there; a protected backup wants its
// password; deleting asks and deletes the catalogue entry, with or without
// the backup's data; what is refused changes nothing.

#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/ColumnListView.h>
#include <interface/TextControl.h>

#include "AlertAnswers.h"
#include "GuiProtocol.h"
#include "GuiTestBed.h"
#include "JobSettingsFile.h"
#include "MVLogDataView.h"
#include "MVRestoreView.h"

namespace fs = std::filesystem;

namespace {

class MVRestoreViewTest : public GuiWindowTest {
protected:
	void SetUp() override
	{
		GuiWindowTest::SetUp();
		fData = ProgramFolder() + "/../data";
		fImages = ProgramFolder() + "/../images";
		for (const char* folder : {"", "/keep", "/skip"})
			ASSERT_EQ(mkdir((fData + folder).c_str(), 0700), 0);
		for (const char* file : {"/top", "/keep/a", "/keep/b", "/skip/c"})
			std::ofstream(fData + file) << file;
	}

	// Backs the data folder up (with the options) and opens the tool.
	MVRestoreView* Open(std::vector<std::vector<std::string>> backups,
		const BMessage& settings = BMessage())
	{
		auto* view = static_cast<MVRestoreView*>(OpenToolWith(kToolRestore, kCmdRestoreTool,
			"restore", settings));
		int32 reports = 0;
		for (const std::vector<std::string>& options : backups) {
			BMessage job = BackupJobOf(fData, fImages, options[0].c_str(),
				std::vector<std::string>(options.begin() + 1, options.end()));
			EXPECT_EQ(fBed->app->PostMessage(&job), B_OK);
			reports++;
			EXPECT_TRUE(BDisplay::WaitFor([&] {
				return CountReports() == reports && CountJobs() == 0;
			}, 60000000));
		}
		EXPECT_TRUE(BDisplay::WaitFor([&] { return Rows(view) == int32(backups.size()); }));
		return view;
	}

	int32 Rows(MVRestoreView* view)
	{
		fWindow->Lock();
		int32 rows = Tree(view)->CountRows();
		fWindow->Unlock();
		return rows;
	}

	static BColumnListView* Tree(MVRestoreView* view)
	{
		return static_cast<BColumnListView*>(view->FindView("catalogue_tree"));
	}

	static MVLogDataView* Catalogue(MVRestoreView* view)
	{
		return static_cast<MVLogDataView*>(view->FindView("MV_LOGDATA"));
	}

	std::vector<std::string> Catalogues()
	{
		std::vector<std::string> names;
		for (const auto& entry : fs::directory_iterator(fTree.ServerFolder() + "/logdata"))
			names.push_back(entry.path().filename().string());
		return names;
	}

	// Selects the row of the path below a backup ("" for the backup) and
	// marks it as the pop-up menu does.
	void Mark(MVRestoreView* view, int32 backup, const std::string& path)
	{
		ASSERT_TRUE(fWindow->Lock());
		BColumnListView* tree = Tree(view);
		BRow* row = tree->RowAt(backup);
		if (!path.empty()) {
			std::string name = Catalogue(view)->MarkedBackups().empty() ? "" : "";
			(void)name;
			row = nullptr;
			for (const std::string& catalogue : Catalogues()) {
				if (row == nullptr) {
					row = Catalogue(view)->RowOfPath("/" + catalogue + "/"
						+ ServerTree::kVolumeName + "/data" + path);
				}
			}
		}
		ASSERT_NE(row, nullptr) << path;
		tree->DeselectAll();
		tree->AddToSelection(row);
		Catalogue(view)->MarkSelected(true);
		fWindow->Unlock();
	}

	BWindow* AwaitStartWindow()
	{
		BWindow* start = nullptr;
		EXPECT_TRUE(BDisplay::WaitFor([&] {
			return (start = BDisplay::FindWindow("Start Restore")) != nullptr;
		}));
		return start;
	}

	std::string fData;
	std::string fImages;
};


TEST_F(MVRestoreViewTest, AMarkedRedirectedSubtreeComesBackExactlyThere)
{
	BMessage settings;
	settings.AddInt32("divert", 1);
	MVRestoreView* view = Open({{"Data"}}, settings);
	ASSERT_NE(view, nullptr);

	// Nothing marked: the alert, and no window.
	AlertAnswers alerts;
	alerts.Expect("Ok");
	Press(view, "btn_resstart");
	ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
	EXPECT_EQ(alerts.Alerts()[0].text, "Sorry, no directories or files selected to restore!");
	EXPECT_EQ(alerts.Alerts()[0].title, "Restore");
	EXPECT_EQ(BDisplay::FindWindow("Start Restore"), nullptr);

	Mark(view, 0, "/keep");
	ASSERT_EQ(mkdir((ProgramFolder() + "/../back").c_str(), 0700), 0);
	ASSERT_TRUE(fWindow->Lock());
	EXPECT_FALSE(view->FindView("path_list")->IsHidden());
	static_cast<BTextControl*>(view->FindView("txt_redirect"))->SetText(
		(std::string("/") + ServerTree::kVolumeName + "/back").c_str());
	fWindow->Unlock();
	Press(view, "btn_redirect");
	// A cancelled start window submits nothing; a confirmed one the restore.
	for (const char* button : {"btn_cancel", "btn_ok"}) {
		Press(view, "btn_resstart");
		BWindow* start = AwaitStartWindow();
		ASSERT_NE(start, nullptr);
		ASSERT_TRUE(start->Lock());
		static_cast<BButton*>(start->FindView(button))->Click();
		start->Unlock();
		ASSERT_TRUE(AwaitWindowGone("Start Restore"));
		if (button == std::string("btn_cancel")) {
			BDisplay::ProcessEvents(200000);
			EXPECT_EQ(CountReports(), 1);
			EXPECT_EQ(CountJobs(), 0);
		}
	}
	ASSERT_TRUE(BDisplay::WaitFor([&] { return CountReports() == 2 && CountJobs() == 0; },
		60000000));
	std::set<std::string> restored;
	std::string back = ProgramFolder() + "/../back";
	for (const auto& entry : fs::recursive_directory_iterator(back))
		restored.insert(entry.path().string().substr(back.size()));
	EXPECT_EQ(restored, (std::set<std::string>{"/keep", "/keep/a", "/keep/b"}));
}


TEST_F(MVRestoreViewTest, AProtectedBackupWantsItsPassword)
{
	MVRestoreView* view = Open({{"Secret", "--password", "right"}});
	ASSERT_NE(view, nullptr);
	Mark(view, 0, "");
	Press(view, "btn_resstart");
	BWindow* start = AwaitStartWindow();
	ASSERT_NE(start, nullptr);
	auto* list = static_cast<BColumnListView*>(start->FindView("lst_passwords"));
	ASSERT_TRUE(start->Lock());
	ASSERT_EQ(list->CountRows(), 1);
	BRow* row = list->RowAt(0);
	start->Unlock();
	int32 before = CountJobs();
	for (const char* password : {"wrong", "right"}) {
		// What the list sends when the user typed into the Password column.
		BMessage typed('rspw');
		typed.AddPointer("row", row);
		typed.AddInt32("field", 1);
		typed.AddString("text", password);
		ASSERT_EQ(start->PostMessage(&typed), B_OK);
		AlertAnswers alerts;
		if (password == std::string("wrong"))
			alerts.Expect("Ok");
		ASSERT_TRUE(start->Lock());
		static_cast<BButton*>(start->FindView("btn_ok"))->Click();
		start->Unlock();
		if (password == std::string("wrong")) {
			ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
			EXPECT_EQ(alerts.Alerts()[0].title, "RestoreStart");
			EXPECT_EQ(alerts.Alerts()[0].text, "The password is not correct! Please correct it.");
			EXPECT_EQ(BDisplay::FindWindow("Start Restore"), start);
			EXPECT_EQ(CountJobs(), before);
		}
	}
	EXPECT_TRUE(BDisplay::WaitFor([&] { return CountReports() == 2; }, 60000000));
}


TEST_F(MVRestoreViewTest, DeletingAsksAndTakesTheDataOnlyWhenTold)
{
	MVRestoreView* view = Open({{"First"}, {"Second"}});
	ASSERT_NE(view, nullptr);
	AlertAnswers alerts;
	alerts.Expect("Ok");
	Press(view, "btn_delete");
	ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
	EXPECT_EQ(alerts.Alerts()[0].text, "Sorry, no backup(s) selected to delete!");

	const struct {
		const char* button;
		bool data;
		size_t catalogues;
		size_t images;
	} cases[] = {{"btn_cancel", true, 2, 2}, {"btn_ok", false, 1, 2}, {"btn_ok", true, 0, 1}};
	for (const auto& testCase : cases) {
		Mark(view, 0, "");
		Press(view, "btn_delete");
		BWindow* request = nullptr;
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			return (request = BDisplay::FindWindow("Delete")) != nullptr;
		}));
		ASSERT_TRUE(request->Lock());
		static_cast<BCheckBox*>(request->FindView("chk_deletedata"))->SetValue(
			testCase.data ? B_CONTROL_ON : B_CONTROL_OFF);
		static_cast<BButton*>(request->FindView(testCase.button))->Click();
		request->Unlock();
		ASSERT_TRUE(AwaitWindowGone("Delete"));
		EXPECT_TRUE(BDisplay::WaitFor([&] { return Catalogues().size() == testCase.catalogues; }))
			<< testCase.button << testCase.data;
		size_t images = 0;
		for (const auto& entry : fs::directory_iterator(fImages))
			images += entry.is_regular_file() ? 1 : 0;
		EXPECT_EQ(images, testCase.images) << testCase.button << testCase.data;
		ASSERT_TRUE(BDisplay::WaitFor([&] { return Rows(view) == int32(testCase.catalogues); }));
	}
}


TEST_F(MVRestoreViewTest, AFileOfAnotherKindChangesNothing)
{
	MVRestoreView* view = Open({{"Data"}});
	ASSERT_NE(view, nullptr);
	Mark(view, 0, "/keep");
	std::string path = SystemPath(ProgramFolder()) + "/jobsettings/backup";
	ASSERT_EQ(JobSettingsFile::Write(path.c_str(), JobSettingsFile::kBackupMagic, BMessage()),
		B_OK);
	AlertAnswers alerts;
	alerts.Expect("Continue");
	ASSERT_TRUE(fWindow->Lock());
	view->LoadFile(entry_ref(path));
	EXPECT_TRUE(Catalogue(view)->HasMarks());
	fWindow->Unlock();
	EXPECT_EQ(alerts.Alerts().size(), 1u);
}


TEST_F(MVRestoreViewTest, ABackupLeftOutOfTheCatalogueIsInsertedThroughTheWindow)
{
	BMessage volume;
	ASSERT_EQ(BackupJobOf(fData, fImages).FindMessage("volume", &volume), B_OK);
	BMessage insert;
	insert.AddString("addon", "MVImage");
	insert.AddMessage("volume", &volume);
	BMessage settings;
	settings.AddMessage("res_insert", &insert);
	MVRestoreView* view = Open({{"Lost"}}, settings);
	ASSERT_NE(view, nullptr);
	std::vector<std::string> catalogues = Catalogues();
	ASSERT_EQ(catalogues.size(), 1u);
	BMessage remove(kMsgDeleteBackups);
	remove.AddString("name", catalogues[0].c_str());
	remove.AddInt32("full", 0);
	BMessage removed;
	ASSERT_EQ(fBed->app->PostServer(&remove, &removed), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] { return Rows(view) == 0; }));

	Press(view, "btn_insert");
	BWindow* window = nullptr;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return (window = BDisplay::FindWindow("Insert Backup")) != nullptr;
	}));
	auto* found = static_cast<BColumnListView*>(window->FindView("lst_found"));
	ASSERT_TRUE(window->Lock());
	static_cast<BButton*>(window->FindView("btn_scan"))->Click();
	window->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		window->Lock();
		int32 rows = found->CountRows();
		window->Unlock();
		return rows == 1;
	}, 20000000));
	// Ok with no backup chosen is refused, and the window stays.
	{
		AlertAnswers alerts;
		alerts.Expect("Ok");
		ASSERT_TRUE(window->Lock());
		static_cast<BButton*>(window->FindView("btn_ok"))->Click();
		window->Unlock();
		ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
		EXPECT_EQ(alerts.Alerts()[0].text, "Sorry, no backups for re-indexing selected!");
		EXPECT_EQ(alerts.Alerts()[0].title, "Insert");
		EXPECT_EQ(BDisplay::FindWindow("Insert Backup"), window);
	}
	ASSERT_TRUE(window->Lock());
	BRow* row = found->RowAt(0);
	EXPECT_STREQ(static_cast<BStringField*>(row->GetField(1))->String(), catalogues[0].c_str());
	EXPECT_STREQ(static_cast<BStringField*>(row->GetField(3))->String(), "No");
	found->AddToSelection(row);
	static_cast<BButton*>(window->FindView("btn_ok"))->Click();
	window->Unlock();
	BWindow* start = nullptr;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return (start = BDisplay::FindWindow("Insert Start")) != nullptr;
	}));
	ASSERT_TRUE(start->Lock());
	static_cast<BButton*>(start->FindView("btn_ok"))->Click();
	start->Unlock();
	EXPECT_TRUE(BDisplay::WaitFor([&] { return Catalogues().size() == 1 && Rows(view) == 1; },
		60000000)) << fTree.ReadLog();
	EXPECT_EQ(Catalogues(), catalogues);
}

}	// namespace
