// The backup tool against a real server: what the user marks in the source
// tree is what the backup holds, and an incremental backup chosen to follow
// a full backup job takes that job's selection and saves what changed.

#include <dirent.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include <interface/Button.h>
#include <interface/ColumnListView.h>
#include <interface/Menu.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>

#include "AlertAnswers.h"
#include "Catalogue.h"
#include "CatalogueFile.h"
#include "GuiProtocol.h"
#include "GuiTestBed.h"
#include "JobType.h"
#include "MVBackupView.h"
#include "MVSourceSelectionView.h"

namespace {

class MVBackupViewTest : public GuiWindowTest {
protected:
	void SetUp() override
	{
		GuiWindowTest::SetUp();
		fData = ProgramFolder() + "/../data";
		for (const char* folder : {"", "/keep", "/skip"})
			ASSERT_EQ(mkdir((fData + folder).c_str(), 0700), 0);
		for (const char* file : {"/top", "/keep/a", "/keep/b", "/skip/c"})
			Write(file, "first");
	}

	void Write(const std::string& file, const char* text, int32 age = 1000)
	{
		std::string path = fData + file;
		std::ofstream(path) << text;
		struct timeval now;
		gettimeofday(&now, nullptr);
		struct timeval times[2] = {{now.tv_sec - age, 0}, {now.tv_sec - age, 0}};
		ASSERT_EQ(utimes(path.c_str(), times), 0);
	}

	// Settings naming the image destination in a folder of the tree.
	BMessage Settings()
	{
		std::string images = ProgramFolder() + "/../images";
		BMessage job = BackupJobOf(fData, images);
		BMessage settings;
		BMessage volume;
		EXPECT_EQ(job.FindMessage("volume", &volume), B_OK);
		settings.AddString("addon", job.GetString("addon", ""));
		settings.AddMessage("volume", &volume);
		return settings;
	}

	MVBackupView* Open(const BMessage& settings)
	{
		return static_cast<MVBackupView*>(OpenToolWith(kToolBackup, kCmdBackupTool, "backup",
			settings));
	}

	// Selects the entry of the path (inside the data folder) in the tree and
	// presses the button.
	void Mark(MVBackupView* view, const std::string& file, const char* button)
	{
		auto* sources = static_cast<MVSourceSelectionView*>(view->FindView("MV_SOURCES"));
		auto* tree = static_cast<BColumnListView*>(view->FindView("source_tree"));
		ASSERT_TRUE(fWindow->Lock());
		BRow* row = sources->RowOfPath(DataPath() + file);
		EXPECT_NE(row, nullptr) << file;
		ASSERT_NE(row, nullptr);
		tree->DeselectAll();
		tree->AddToSelection(row);
		static_cast<BButton*>(view->FindView(button))->Click();
		fWindow->Unlock();
		// The mark column shows the row's own mark once the view has it.
		std::string wanted = button == std::string("btn_include") ? "Include"
			: button == std::string("btn_exclude") ? "Exclude" : "";
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			fWindow->Lock();
			std::string shown = static_cast<BStringField*>(row->GetField(1))->String();
			fWindow->Unlock();
			return wanted.empty() ? shown.empty() || shown[0] == '(' : shown == wanted;
		})) << file << " " << button;
	}

	// Chooses the item of the menu field whose message has the value.
	void Choose(MVBackupView* view, const char* field, const char* key, int32 value)
	{
		ASSERT_TRUE(fWindow->Lock());
		BMenu* menu = static_cast<BMenuField*>(view->FindView(field))->Menu();
		BMenuItem* chosen = nullptr;
		for (int32 index = 0; index < menu->CountItems(); index++) {
			if (menu->ItemAt(index)->Message()->GetInt32(key, 0) == value)
				chosen = menu->ItemAt(index);
		}
		fWindow->Unlock();
		ASSERT_NE(chosen, nullptr) << field << " " << value;
		ASSERT_EQ(BMessenger(view).SendMessage(chosen->Message()), B_OK);
	}

	std::vector<std::string> Catalogues()
	{
		std::vector<std::string> names;
		if (DIR* folder = opendir((fTree.ServerFolder() + "/logdata").c_str())) {
			while (dirent* entry = readdir(folder)) {
				if (entry->d_name[0] != '.')
					names.push_back(entry->d_name);
			}
			closedir(folder);
		}
		return names;
	}

	// The paths, below the data folder, of the next backup's catalogue.
	std::set<std::string> NextCatalogue(size_t before)
	{
		std::set<std::string> paths;
		EXPECT_TRUE(BDisplay::WaitFor([&] { return Catalogues().size() > before; }, 60000000))
			<< fTree.ReadLog();
		std::vector<std::string> names = Catalogues();
		if (names.size() <= before)
			return paths;
		std::set<std::string> seen(names.begin(), names.end());
		std::string newest;
		struct stat newestInfo = {};
		for (const std::string& name : names) {
			struct stat info;
			std::string path = fTree.ServerFolder() + "/logdata/" + name;
			if (stat(path.c_str(), &info) == 0 && (newest.empty()
					|| info.st_mtim.tv_sec * 1000000000L + info.st_mtim.tv_nsec
						> newestInfo.st_mtim.tv_sec * 1000000000L + newestInfo.st_mtim.tv_nsec)) {
				newest = name;
				newestInfo = info;
			}
		}
		BMessage message;
		std::string file = SystemPath(fTree.ServerFolder() + "/logdata/" + newest);
		EXPECT_EQ(CatalogueFile::Read(file.c_str(), &message), B_OK);
		Catalogue catalogue(message);
		std::string data = DataPath();
		for (int32 index = 0; index < catalogue.CountEntries(); index++) {
			CatalogueEntry entry;
			EXPECT_EQ(catalogue.EntryAt(index, &entry), B_OK);
			if (entry.path.rfind(data, 0) == 0)
				paths.insert(entry.path.substr(data.size()));
		}
		return paths;
	}

	// The data folder as the tree and the catalogue name it: by the name
	// of its volume.
	static std::string DataPath() { return std::string("/") + ServerTree::kVolumeName + "/data"; }

	std::string fData;
};


TEST_F(MVBackupViewTest, TheMarkedTreeIsTheBackupAndAnIncrementalFollowsItsBase)
{
	BMessage settings = Settings();
	BMessage daily;
	// A second after the files were written: their status changed before
	// the run that the incremental backup follows.
	daily.AddTime("TIME", int32(real_time_clock()) + 1);
	daily.AddInt32("Days", 1);
	settings.AddMessage("scheduler", &daily);
	MVBackupView* view = Open(settings);
	ASSERT_NE(view, nullptr);
	Mark(view, "", "btn_include");
	Mark(view, "/skip", "btn_exclude");
	Mark(view, "/keep/a", "btn_exclude");
	Mark(view, "/keep/a", "btn_unmark");
	BMessage shown;
	view->GetPref(&shown);
	BMessage selection;
	ASSERT_EQ(shown.FindMessage("selection", &selection), B_OK);
	std::string data = DataPath();
	EXPECT_STREQ(selection.GetString("SELECTION", 0, ""), ("INCLUDE " + data + "/*").c_str());
	EXPECT_STREQ(selection.GetString("SELECTION", 1, ""), ("EXCLUDE " + data + "/skip/*").c_str());
	EXPECT_FALSE(selection.HasData("SELECTION", B_STRING_TYPE, 2));

	size_t before = Catalogues().size();
	ConfirmStart(view, false, "Daily");
	ASSERT_EQ(NextCatalogue(before),
		(std::set<std::string>{"", "/top", "/keep", "/keep/a", "/keep/b"}));

	// The repeating job stays queued: it is the base of the incremental one.
	int32 base = 0;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		BMessage record = LastJob();
		base = record.GetInt32("job_id", 0);
		int32 lastStart = 0;
		return record.FindTime("last_start", &lastStart) == B_OK && lastStart != 0;
	}, 30000000));
	Write("/keep/b", "second", -5);
	Mark(view, "", "btn_unmark");
	Choose(view, "mnu_mode", "job_type", kJobIncrementalBackup);
	Choose(view, "mnu_base", "base_id", base);
	before = Catalogues().size();
	ConfirmStart(view, false, "Changes");
	EXPECT_EQ(NextCatalogue(before), (std::set<std::string>{"", "/keep", "/keep/b"}));
}


TEST_F(MVBackupViewTest, AJobIsNotStartedWithoutWhatItNeeds)
{
	MVBackupView* view = Open(Settings());
	ASSERT_NE(view, nullptr);
	struct Case {
		int32 mode;
		const char* text;
	};
	const Case cases[] = {
		{kJobFullBackup, "Sorry, no directories or files selected to backup!"},
		{kJobDifferentialBackup, "Please choose the full backup job that this backup follows!"},
	};
	for (const Case& testCase : cases) {
		Choose(view, "mnu_mode", "job_type", testCase.mode);
		AlertAnswers alerts;
		alerts.Expect("Ok");
		Press(view, "btn_start");
		ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
		EXPECT_EQ(alerts.Alerts()[0].text, testCase.text);
		EXPECT_EQ(alerts.Alerts()[0].title, "Backup");
	}
	EXPECT_EQ(BDisplay::FindWindow("Start Backup"), nullptr);

	// A chosen base that leaves the queue is no choice any more.
	BMessage held = BackupJobOf(fData, ProgramFolder() + "/../images", "Held", {"--hold"});
	ASSERT_EQ(fBed->app->PostMessage(&held), B_OK);
	int32 base = 0;
	ASSERT_TRUE(BDisplay::WaitFor([&] { return CountJobs() == 1; }));
	base = LastJob().GetInt32("job_id", 0);
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		fWindow->Lock();
		int32 count = static_cast<BMenuField*>(view->FindView("mnu_base"))->Menu()->CountItems();
		fWindow->Unlock();
		return count == 1;
	}));
	Choose(view, "mnu_base", "base_id", base);
	BMessage removed(kMsgJobRemoved);
	removed.AddInt32("job_id", base);
	BMessage settings;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		fWindow->Lock();
		view->GetPref(&settings);
		fWindow->Unlock();
		return settings.GetInt32("base_id", 0) == base;
	}));
	ASSERT_EQ(BMessenger(view).SendMessage(&removed), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		fWindow->Lock();
		view->GetPref(&settings);
		fWindow->Unlock();
		return !settings.HasData("base_id", B_INT32_TYPE);
	}));
	EXPECT_EQ(settings.GetInt32("job_type", 0), kJobDifferentialBackup);
}

}	// namespace
