// The GUI program's start-up and main window, driven offscreen through the
// real classes; a real server where the behaviour involves one.

#include <sys/stat.h>
#include <sys/xattr.h>

#include <csignal>
#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include <app/Message.h>
#include <app/Roster.h>
#include <interface/Button.h>
#include <interface/Display.h>
#include <interface/TextControl.h>
#include <interface/MenuBar.h>
#include <interface/MenuItem.h>
#include <storage/VolumeTable.h>

#include "AlertAnswers.h"
#include "GuiTestBed.h"
#include "JobSettingsFile.h"
#include "BackupApplication.h"
#include "BackupWindow.h"
#include "GuiPreferences.h"
#include "GuiProtocol.h"
#include "MVRequestWindow.h"
#include "Preferences.h"
#include "ServerProtocol.h"
#include "ServerTree.h"
#include "TestFolder.h"

namespace {



TEST(GuiStartTest, AnUnfitVolumeStopsBeforeTheServer)
{
	struct Case {
		const char* option;
		const char* text;
	};
	const Case cases[] = {
		{",ro", "ERROR: Morvane Backup can't be started from a read only device!"},
		{",noattr", "ERROR: Morvane Backup can't be started from a device that doesn't "
			"support file attributes!"},
	};
	for (const Case& testCase : cases) {
		TestFolder folder;
		std::string volumes = std::string("GuiUnfit=") + folder.Path() + testCase.option;
		setenv("MORVANE_VOLUMES", volumes.c_str(), 1);
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		AlertAnswers alerts;
		alerts.Expect("Stop");
		{
			GuiBed bed(folder.Path(), folder / "Backup_Server/MorvaneServer");
			bed.Start();
			EXPECT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
			EXPECT_EQ(bed.app->MainWindow(), nullptr);
		}
		unsetenv("MORVANE_VOLUMES");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		ASSERT_EQ(alerts.Alerts().size(), 1u);
		EXPECT_EQ(alerts.Alerts()[0].title, "Backup");
		EXPECT_EQ(alerts.Alerts()[0].text, testCase.text);
		EXPECT_FALSE(be_roster->IsRunning(kServerSignature));
		struct stat status;
		EXPECT_NE(stat((folder / "locale").c_str(), &status), 0) << "nothing is made on it";
	}
}


TEST(GuiStartTest, MissingServerProgramEndsAfterTheAlert)
{
	TestFolder folder;
	AlertAnswers alerts;
	alerts.Expect("Stop");
	GuiBed bed(folder.Path(), folder / "Backup_Server/MorvaneServer");
	bed.Start();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }, 10000000));
	EXPECT_EQ(alerts.Alerts()[0].text,
		"ERROR: Can't start Backup Server! Failed to find program 'MorvaneServer'.");
	EXPECT_TRUE(BDisplay::WaitFor([&] { return bed.app->MainWindow() == nullptr; }));
	for (const char* made : {"jobsettings", "locale"}) {
		struct stat status;
		EXPECT_EQ(stat((folder / made).c_str(), &status), 0) << made;
	}
}


TEST_F(GuiWindowTest, RegistersWithTheRunningServerAndAZeroFrameGetsTheDefault)
{
	BackupWindow* window = StartWith([](Preferences* prefs) {
		(void)prefs->Set(kPrefMainFrame, BRect(10, 10, 10, 300));
	});
	ASSERT_NE(window, nullptr);
	EXPECT_EQ(fBed->app->ServerTeam(), fServer->Pid());
	std::vector<team_id> servers;
	be_roster->GetAppList(kServerSignature, &servers);
	EXPECT_EQ(servers.size(), 1u) << "no second server";
	EXPECT_EQ(fBed->app->Prefs()->GetRect(kPrefMainFrame, BRect()),
		GuiPreferences::kDefaultMainFrame);
}


TEST_F(GuiWindowTest, LastToolAndToolbarValuesFromThePreferences)
{
	struct Case {
		int8 lastView;
		int32 toolbar;
		uint32 expectedMode;
		bool markedTool;
		const char* shown;
	};
	const Case cases[] = {
		{0, 'xxxx', kCmdToolbarIconAndText, false, "MV_WORK_VIEW"},
		{7, kCmdToolbarNone, kCmdToolbarNone, false, "MV_WORK_VIEW"},
		{2, kCmdToolbarIconOnly, kCmdToolbarIconOnly, true, "MV_RESTORE"},
	};
	for (const Case& testCase : cases) {
		BackupWindow* window = StartWith([&](Preferences* prefs) {
			(void)prefs->Set(kPrefLastTool, int8(1));
			(void)prefs->Set(kPrefLastView, testCase.lastView);
			(void)prefs->Set(kPrefToolbar, testCase.toolbar);
		});
		ASSERT_NE(window, nullptr);
		BDisplay::ProcessEvents(50000);
		EXPECT_EQ(window->ToolbarMode(), testCase.expectedMode);
		EXPECT_STREQ(window->VisibleTool()->Name(), testCase.shown);
		BMenuItem* restore = window->KeyMenuBar()->FindItem(kCmdRestoreTool);
		ASSERT_NE(restore, nullptr);
		EXPECT_EQ(restore->IsMarked(), testCase.markedTool) << int(testCase.lastView);
		fBed.reset();
	}
}


TEST_F(GuiWindowTest, OneRequestWindowPerTitleAndTheAnswerGoesBack)
{
	BackupWindow* window = StartWith([](Preferences*) {});
	ASSERT_NE(window, nullptr);
	BMessage question(kMsgQuestion);
	question.AddInt32("job_id", 77);
	question.AddString("title", "Insert medium");
	question.AddString("text", "Please insert medium 2.");
	question.AddString("label0", "Cancel");
	question.AddString("label1", "Continue");
	ASSERT_EQ(window->PostMessage(&question), B_OK);
	ASSERT_EQ(window->PostMessage(&question), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] { return window->CountRequestWindows() == 1; }));
	BDisplay::ProcessEvents(50000);
	EXPECT_EQ(window->CountRequestWindows(), 1);
	question.ReplaceString("title", "Another");
	ASSERT_EQ(window->PostMessage(&question), B_OK);
	EXPECT_TRUE(BDisplay::WaitFor([&] { return window->CountRequestWindows() == 2; }));
}


TEST_F(GuiWindowTest, ALocaleFileAddedWhileRunningJoinsTheLanguageMenu)
{
	BackupWindow* window = StartWith([](Preferences*) {});
	ASSERT_NE(window, nullptr);
	EXPECT_EQ(window->LanguageMenu()->CountItems(), 0);
	std::string file = ProgramFolder() + "/locale/Deutsch.locale";
	FILE* stream = fopen(file.c_str(), "w");
	ASSERT_NE(stream, nullptr);
	fclose(stream);
	// A typed attribute: its type code, then the string.
	std::string value = std::string("RTSC", 4) + "Deutsch";
	ASSERT_EQ(setxattr(file.c_str(), "user.mv.mv:language", value.data(), value.size(), 0), 0);
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return window->LanguageMenu()->FindItem("Deutsch") != nullptr;
	}));
	// Choosing it stores it and says that it takes effect after a restart.
	AlertAnswers alerts;
	alerts.Expect("Continue");
	ASSERT_TRUE(window->Lock());
	window->LanguageMenu()->FindItem("Deutsch")->Click();
	window->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
	EXPECT_EQ(alerts.Alerts()[0].title, "Locale");
	EXPECT_EQ(alerts.Alerts()[0].text,
		"The selected language will be used correct if you restart the application!");
	EXPECT_STREQ(fBed->app->Prefs()->GetString(kPrefLanguage, ""), "Deutsch");
	EXPECT_TRUE(window->LanguageMenu()->FindItem("Deutsch")->IsMarked());
}

TEST_F(GuiWindowTest, JobSettingsFilesFromTheCommandLineOpenTheirTool)
{
	struct Case {
		const char* content;
		uint32 tool;     // the tool marked, 0 for a refused file
	};
	const Case cases[] = {
		{"MVRESJOB", kCmdRestoreTool},
		{"MVBAKJO", 0},                 // one byte short of a magic
		{"MVBAKJOX", 0},
	};
	for (const Case& testCase : cases) {
		std::string file = ProgramFolder() + "/opened.job";
		if (testCase.tool != 0) {
			ASSERT_EQ(JobSettingsFile::Write(SystemPath(file).c_str(),
				JobSettingsFile::kRestoreMagic, BMessage()), B_OK);
		} else {
			FILE* stream = fopen(file.c_str(), "w");
			ASSERT_NE(stream, nullptr);
			fputs(testCase.content, stream);
			fclose(stream);
		}
		AlertAnswers alerts;
		if (testCase.tool == 0)
			alerts.Expect("Continue");
		BackupWindow* window = StartWith([](Preferences*) {}, {file});
		ASSERT_NE(window, nullptr);
		if (testCase.tool != 0) {
			BMenuItem* item = window->KeyMenuBar()->FindItem(testCase.tool);
			EXPECT_TRUE(BDisplay::WaitFor([&] { return item->IsMarked(); })) << testCase.content;
		} else {
			EXPECT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
		}
		fBed.reset();
	}
}

TEST_F(GuiWindowTest, NotificationsForToolsNotOpenAreDroppedAndMenuTogglesAreStored)
{
	BackupWindow* window = StartWith([](Preferences*) {});
	ASSERT_NE(window, nullptr);
	const uint32 notices[] = {kMsgJobInserted, kMsgJobRemoved, kMsgJobChanged, kMsgLogInserted,
		kMsgLogRemoved, kMsgVolumeData, kCmdReportClear, kMsgReportInsertedNews,
		kMsgWithdrawQuestion, kCmdSelectAll, kCmdLoadSelection};
	for (uint32 notice : notices) {
		BMessage message(notice);
		message.AddInt32("job_id", 5);
		ASSERT_EQ(window->PostMessage(&message), B_OK);
	}
	struct Toggle {
		uint32 command;
		const char* key;
	};
	const Toggle toggles[] = {{kCmdRestartWithLastTool, kPrefLastTool}, {kCmdAutoprefs, kPrefAutoprefs}};
	Preferences* prefs = fBed->app->Prefs();
	for (const Toggle& toggle : toggles) {
		int8 before = prefs->GetInt8(toggle.key, -1);
		ASSERT_EQ(window->PostMessage(toggle.command), B_OK);
		EXPECT_TRUE(BDisplay::WaitFor([&] { return prefs->GetInt8(toggle.key, -1) == !before; }))
			<< toggle.key;
		EXPECT_EQ(window->KeyMenuBar()->FindItem(toggle.command)->IsMarked(), before == 0);
	}
	BDisplay::ProcessEvents(20000);
	EXPECT_EQ(window->Registered(kStatusWindowName), nullptr);
	EXPECT_STREQ(window->VisibleTool()->Name(), "MV_WORK_VIEW");
}


TEST_F(GuiWindowTest, MissingManualIsReported)
{
	BackupWindow* window = StartWith([](Preferences*) {});
	ASSERT_NE(window, nullptr);
	ASSERT_EQ(system(("rm -rf '" + ProgramFolder() + "/Documentation'").c_str()), 0);
	AlertAnswers alerts;
	alerts.Expect("Continue");
	ASSERT_EQ(window->PostMessage(kCmdHelp), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
	EXPECT_NE(alerts.Alerts()[0].text.find("Can't load help file '"), std::string::npos);
	EXPECT_NE(alerts.Alerts()[0].text.find("Backup-Guide-English.html"), std::string::npos);
}

TEST_F(GuiWindowTest, RunningJobsSettingsCheckTheDelayAndAreStored)
{
	BackupWindow* window = StartWith([](Preferences*) {});
	ASSERT_NE(window, nullptr);
	ASSERT_EQ(window->PostMessage(kCmdStatusSettings), B_OK);
	BWindow* settings = nullptr;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return (settings = window->Registered(kStatusSettingsName)) != nullptr;
	}));
	for (const char* delay : {"1x", "25"}) {
		AlertAnswers alerts;
		bool refused = std::string(delay) == "1x";
		if (refused)
			alerts.Expect("Ok");
		ASSERT_TRUE(settings->Lock());
		static_cast<BTextControl*>(settings->FindView("removedelay"))->SetText(delay);
		static_cast<BButton*>(settings->FindView("btn_ok"))->Click();
		settings->Unlock();
		if (refused) {
			ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
			EXPECT_EQ(alerts.Alerts()[0].text,
				"Wrong format for delay (only numeric)! Please correct!");
		}
	}
	ASSERT_TRUE(BDisplay::WaitFor([&] { return window->Registered(kStatusSettingsName) == nullptr; }));
	BMessage status = fBed->app->Prefs()->GetMessageData(kPrefStatus);
	EXPECT_EQ(status.GetInt32(kStatusRemoveDelay, 0), 25);
}

}	// namespace
