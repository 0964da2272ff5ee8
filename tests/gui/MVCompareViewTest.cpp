// The compare tool against a real server: its default items, the settings
// window's "Compare all", and a compare started from the tool that reports
// the file changed since the backup.

#include <sys/stat.h>

#include <fstream>

#include <gtest/gtest.h>

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/ColumnListView.h>
#include <interface/TextView.h>

#include "GuiProtocol.h"
#include "GuiTestBed.h"
#include "MVCompareSettingsWindow.h"
#include "MVCompareView.h"
#include "MVLogDataView.h"

namespace {

class MVCompareViewTest : public GuiWindowTest {
protected:
	MVCompareView* Open(const BMessage& settings)
	{
		return static_cast<MVCompareView*>(OpenToolWith(kToolCompare, kCmdCompareTool, "compare",
			settings));
	}

	static int32 CountCompareEntries(const BMessage& settings)
	{
		int32 count = 0;
		(void)settings.GetInfo("compare", nullptr, &count);
		return count;
	}
};


TEST_F(MVCompareViewTest, OneDefaultEntryAndCompareAllKeepsTheSingleValues)
{
	BMessage stored;
	stored.AddString("selectionpath", "/somewhere");
	MVCompareView* view = Open(stored);
	ASSERT_NE(view, nullptr);
	BMessage settings;
	ASSERT_TRUE(fWindow->Lock());
	view->GetPref(&settings);
	view->SetPref(settings);
	view->GetPref(&settings);
	fWindow->Unlock();
	EXPECT_EQ(CountCompareEntries(settings), 1);
	BMessage items;
	ASSERT_EQ(settings.FindMessage("compare", &items), B_OK);
	EXPECT_EQ(items.GetInt32("compareall", 0), 1);

	// Stored single values survive "Compare all" and come back with it off.
	items.AddInt32("size", 1);
	items.AddInt32("uid", 0);
	settings.ReplaceMessage("compare", &items);
	ASSERT_TRUE(fWindow->Lock());
	view->SetPref(settings);
	fWindow->Unlock();
	Press(view, "btn_cmpsettings");
	BWindow* window = nullptr;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return (window = BDisplay::FindWindow("Compare Settings")) != nullptr;
	}));
	auto box = [&](const char* key) { return static_cast<BCheckBox*>(window->FindView(key)); };
	ASSERT_TRUE(window->Lock());
	EXPECT_FALSE(box("size")->IsEnabled());
	EXPECT_EQ(box("size")->Value(), B_CONTROL_ON);
	EXPECT_EQ(box("uid")->Value(), B_CONTROL_OFF);
	box("compareall")->Click();
	window->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		window->Lock();
		bool enabled = box("size")->IsEnabled();
		window->Unlock();
		return enabled;
	}));
	ASSERT_TRUE(window->Lock());
	box("gid")->SetValue(B_CONTROL_ON);
	static_cast<BButton*>(window->FindView("btn_ok"))->Click();
	window->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		fWindow->Lock();
		view->GetPref(&settings);
		fWindow->Unlock();
		BMessage now;
		return settings.FindMessage("compare", &now) == B_OK
			&& now.GetInt32("compareall", 1) == 0;
	}));
	ASSERT_EQ(settings.FindMessage("compare", &items), B_OK);
	for (const char* key : MVCompareSettingsWindow::kItemKeys) {
		int32 expected = std::string(key) == "size" || std::string(key) == "gid" ? 1 : 0;
		EXPECT_EQ(items.GetInt32(key, -1), expected) << key;
	}
}


TEST_F(MVCompareViewTest, ACompareFromTheToolReportsTheChangedFile)
{
	std::string data = ProgramFolder() + "/../data";
	ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
	for (const char* file : {"/same", "/changed"})
		std::ofstream(data + file) << "first";
	MVCompareView* view = Open(BMessage());
	ASSERT_NE(view, nullptr);
	BMessage job = BackupJobOf(data, ProgramFolder() + "/../images", "Compared");
	ASSERT_EQ(fBed->app->PostMessage(&job), B_OK);
	auto* tree = static_cast<BColumnListView*>(view->FindView("catalogue_tree"));
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		fWindow->Lock();
		int32 rows = tree->CountRows();
		fWindow->Unlock();
		return rows == 1 && CountJobs() == 0;
	}, 60000000));
	std::ofstream(data + "/changed") << "second, longer";

	Press(view, "btn_cmpstart");
	ASSERT_TRUE(fWindow->Lock());
	tree->AddToSelection(tree->RowAt(0));
	static_cast<MVLogDataView*>(view->FindView("MV_LOGDATA"))->MarkSelected(true);
	fWindow->Unlock();
	Press(view, "btn_cmpstart");
	BWindow* start = nullptr;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return (start = BDisplay::FindWindow("Start Compare")) != nullptr;
	}));
	ASSERT_TRUE(start->Lock());
	static_cast<BButton*>(start->FindView("btn_ok"))->Click();
	start->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return CountReports() == 2 && CountJobs() == 0; },
		60000000));

	// The compare's report, as the Reports tool shows it.
	ASSERT_EQ(fWindow->PostMessage(kCmdReportTool), B_OK);
	BackupWindow* main = fBed->app->MainWindow();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return main->Tool(kToolReports) != nullptr; }));
	BView* reports = main->Tool(kToolReports);
	auto* list = static_cast<BColumnListView*>(reports->FindView("report_list"));
	auto* text = static_cast<BTextView*>(reports->FindView("report_text"));
	std::string shown;
	EXPECT_TRUE(BDisplay::WaitFor([&] {
		fWindow->Lock();
		for (int32 row = 0; row < list->CountRows(); row++) {
			list->DeselectAll();
			list->AddToSelection(list->RowAt(row));
		}
		shown = text->Text();
		fWindow->Unlock();
		return shown.find("Misscompared") != std::string::npos;
	}, 10000000)) << shown;
	EXPECT_NE(shown.find("changed: file data different"), std::string::npos) << shown;
	EXPECT_EQ(shown.find("same:"), std::string::npos) << shown;
}

}	// namespace
