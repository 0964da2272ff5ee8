// The catalogue view over a real server with a real backup: rows load as
// they open, marks and redirections become the selection of a restore, and
// that restore brings back exactly the marked subtree where it was sent.

#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include <interface/ColumnListView.h>
#include <interface/StringView.h>
#include <interface/Window.h>

#include "GuiTestBed.h"
#include "JobType.h"
#include "MVLogDataView.h"

namespace {

const char* const kWidthKeys[] = {"N", "S", "D", "R", "M", "O", "I"};

class MVLogDataViewTest : public GuiWindowTest {
protected:
	void SetUp() override
	{
		GuiWindowTest::SetUp();
		fData = ProgramFolder() + "/../data";
		for (const char* folder : {"", "/keep", "/keep/deep", "/skip"})
			ASSERT_EQ(mkdir((fData + folder).c_str(), 0700), 0);
		for (const char* file : {"/top", "/keep/a", "/keep/deep/b", "/skip/c"})
			std::ofstream(fData + file) << file;
		ASSERT_NE(StartWith([](Preferences*) {}), nullptr);
		BMessage job = BackupJobOf(fData, ProgramFolder() + "/../images", "Catalogued");
		ASSERT_EQ(fBed->app->PostMessage(&job), B_OK);
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			return !CatalogueName().empty() && CountJobs() == 0;
		}, 60000000));
		fWindow = new BWindow(BRect(40, 40, 839, 439), "catalogue", B_TITLED_WINDOW, 0);
		fView = new MVLogDataView(fWindow->Bounds(), kWidthKeys);
		fWindow->AddChild(fView);
		fWindow->Show();
	}

	void TearDown() override
	{
		if (fWindow->Lock())
			fWindow->Quit();
		GuiWindowTest::TearDown();
	}

	std::string CatalogueName()
	{
		std::string name;
		if (DIR* folder = opendir((fTree.ServerFolder() + "/logdata").c_str())) {
			while (dirent* entry = readdir(folder)) {
				if (entry->d_name[0] != '.')
					name = entry->d_name;
			}
			closedir(folder);
		}
		return name;
	}

	std::string EntryPath(const std::string& file)
	{
		return "/" + CatalogueName() + "/" + ServerTree::kVolumeName + "/data" + file;
	}

	std::vector<std::string> Strings(const BMessage& message, const char* name)
	{
		std::vector<std::string> strings;
		const char* text;
		for (int32 index = 0; message.FindString(name, index, &text) == B_OK; index++)
			strings.push_back(text);
		return strings;
	}

	std::string fData;
	MVLogDataView* fView = nullptr;
};


TEST_F(MVLogDataViewTest, MarksAndRedirectionsRestoreExactlyTheSubtreeThere)
{
	auto* tree = static_cast<BColumnListView*>(fView->FindView("catalogue_tree"));
	ASSERT_TRUE(fWindow->Lock());
	ASSERT_EQ(tree->CountRows(), 1);
	BRow* backup = tree->RowAt(0);
	EXPECT_STREQ(static_cast<BStringField*>(backup->GetField(0))->String(), "Catalogued");
	// Nothing below a backup is loaded before it opens.
	EXPECT_EQ(tree->CountRows(backup), 0);
	EXPECT_TRUE(backup->HasIcon());
	BRow* keep = fView->RowOfPath(EntryPath("/keep"));
	ASSERT_NE(keep, nullptr);
	EXPECT_TRUE(keep->HasIcon());
	EXPECT_EQ(tree->CountRows(keep), 0);
	EXPECT_EQ(fView->RowOfPath(EntryPath("/nothing")), nullptr);

	std::string target = std::string("/") + ServerTree::kVolumeName + "/back";
	tree->DeselectAll();
	tree->AddToSelection(keep);
	fView->MarkSelected(true);
	fView->RedirectSelected(target);
	BMessage selection;
	fView->GetSelection(&selection);
	EXPECT_EQ(Strings(selection, "SELECTION"),
		std::vector<std::string>{"INCLUDE " + EntryPath("/keep") + "/*"});
	EXPECT_EQ(Strings(selection, "source"),
		std::vector<std::string>{"REDIREC " + EntryPath("/keep") + "/*"});
	EXPECT_EQ(Strings(selection, "redirect"), std::vector<std::string>{target});
	EXPECT_EQ(fView->MarkedBackups(), std::vector<std::string>{CatalogueName()});

	// The selection comes back as it went, after the marks were cleared.
	fView->SelectAll(false);
	EXPECT_FALSE(fView->HasMarks());
	fView->SetSelection(selection);
	BMessage again;
	fView->GetSelection(&again);
	EXPECT_EQ(Strings(again, "SELECTION"), Strings(selection, "SELECTION"));
	EXPECT_EQ(Strings(again, "source"), Strings(selection, "source"));
	fWindow->Unlock();

	ASSERT_EQ(mkdir((ProgramFolder() + "/../back").c_str(), 0700), 0);
	BMessage job(kMsgJobAdd);
	job.AddInt32("job_type", kJobRestore);
	job.AddMessage("selection", &again);
	BMessage restore;
	restore.AddInt32("createemptydirs", 1);
	job.AddMessage("restore", &restore);
	BMessage scheduler;
	scheduler.AddTime("TIME", int32(real_time_clock()));
	job.AddMessage("scheduler", &scheduler);
	ASSERT_EQ(fBed->app->PostMessage(&job), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] { return CountReports() == 2 && CountJobs() == 0; },
		60000000));
	std::set<std::string> restored;
	std::string back = ProgramFolder() + "/../back";
	for (const auto& entry : std::filesystem::recursive_directory_iterator(back))
		restored.insert(entry.path().string().substr(back.size()));
	EXPECT_EQ(restored, (std::set<std::string>{"/keep", "/keep/a", "/keep/deep",
		"/keep/deep/b"})) << fTree.ReadLog();
}


TEST_F(MVLogDataViewTest, FindingANameOpensTheFoldersOnTheWay)
{
	auto* tree = static_cast<BColumnListView*>(fView->FindView("catalogue_tree"));
	ASSERT_TRUE(fWindow->Lock());
	tree->AddToSelection(tree->RowAt(0));
	EXPECT_TRUE(fView->FindNext("DEEP"));
	BRow* found = tree->FocusRow();
	ASSERT_NE(found, nullptr);
	EXPECT_STREQ(static_cast<BStringField*>(found->GetField(0))->String(), "deep");
	EXPECT_TRUE(found->IsSelected());
	EXPECT_TRUE(found->ParentRow()->IsExpanded());
	// Nothing after it holds the name; from the backup a file is found.
	EXPECT_FALSE(fView->FindNext("deep"));
	tree->DeselectAll();
	tree->AddToSelection(tree->RowAt(0));
	EXPECT_TRUE(fView->FindNext("c"));
	EXPECT_STREQ(static_cast<BStringField*>(tree->FocusRow()->GetField(0))->String(), "c");
	BWindow* info = fView->ShowInfo();
	fWindow->Unlock();
	ASSERT_NE(info, nullptr);
	ASSERT_TRUE(info->Lock());
	auto text = [&](const char* name) {
		return std::string(static_cast<BStringView*>(info->FindView(name))->Text());
	};
	EXPECT_EQ(text("str_Name"), "c");
	EXPECT_EQ(text("str_Path"), std::string("/") + ServerTree::kVolumeName + "/data/skip/c");
	EXPECT_EQ(text("str_Size"), "7 bytes");
	EXPECT_EQ(text("str_Medium"), "1");
	info->Quit();

	// A backup tells where it is stored, from the catalogue's own record.
	ASSERT_TRUE(fWindow->Lock());
	tree->DeselectAll();
	tree->AddToSelection(tree->RowAt(0));
	info = fView->ShowInfo();
	fWindow->Unlock();
	ASSERT_NE(info, nullptr);
	ASSERT_TRUE(info->Lock());
	EXPECT_EQ(text("str_Title"), "Catalogued");
	EXPECT_EQ(text("str_Stored on"), "Folder of image files");
	EXPECT_EQ(text("str_Password"), "No");
	info->Quit();
}

}	// namespace
