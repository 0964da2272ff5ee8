// The GUI against a real server: a job it submits shown in the running-jobs
// window, the scripting properties, job-settings files from the command
// line, a server that dies, and the add-ons' settings windows.

#include <sys/stat.h>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

#include <app/Messenger.h>
#include <app/Roster.h>
#include <interface/Button.h>
#include <interface/StringView.h>

#include "AddOnShelf.h"
#include "AlertAnswers.h"
#include "GuiProtocol.h"
#include "GuiTestBed.h"
#include "GuiTexts.h"
#include "MVDefaultTexts.h"
#include "MVStatusView.h"
#include "MVStatusWindow.h"
#include "ServerProtocol.h"

namespace {

TEST_F(GuiWindowTest, ASubmittedJobRunsInTheRunningJobsWindow)
{
	BackupWindow* window = StartWith([](Preferences*) {});
	ASSERT_NE(window, nullptr);
	std::string data = ProgramFolder() + "/../data";
	ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
	for (int index = 0; index < 20; index++) {
		FILE* file = fopen((data + "/file" + std::to_string(index)).c_str(), "w");
		ASSERT_NE(file, nullptr);
		fputs(std::string(50000, char('a' + index)).c_str(), file);
		fclose(file);
	}
	BMessage job = BackupJobOf(data, ProgramFolder() + "/../images");
	ASSERT_EQ(fBed->app->PostMessage(&job), B_OK);

	MVStatusWindow* status = nullptr;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		status = static_cast<MVStatusWindow*>(window->Registered(kStatusWindowName));
		return status != nullptr && status->CountJobs() == 1;
	}, 30000000));
	EXPECT_STREQ(status->Title(), "Running Jobs");
	BView* row = status->ChildAt(0);
	ASSERT_NE(row, nullptr);
	auto* files = static_cast<BStringView*>(row->FindView("files"));
	auto* abort = static_cast<BButton*>(row->FindView("btn_abort"));
	ASSERT_NE(files, nullptr);
	// The worker's progress reaches the row, and the job's end disables
	// its buttons.
	EXPECT_TRUE(BDisplay::WaitFor([&] {
		return std::string(files->Text()).rfind("Files read:", 0) == 0;
	}, 30000000)) << files->Text();
	EXPECT_TRUE(BDisplay::WaitFor([&] { return !abort->IsEnabled(); }, 30000000));
}


TEST_F(GuiWindowTest, ScriptingPropertiesServeLocaleMakers)
{
	ASSERT_NE(StartWith([](Preferences*) {}), nullptr);
	struct Case {
		const char* property;
		int32 index;
		const char* expected;
	};
	const Case cases[] = {
		{"DefaultLanguage", -1, "English"},
		{"TextAppID", -1, "morvane backup locale"},
		{"DefaultText", 188, "File"},
	};
	for (const Case& testCase : cases) {
		BMessage request(B_GET_PROPERTY);
		BMessage specifier('sprp');
		specifier.AddString("property", testCase.property);
		if (testCase.index >= 0)
			specifier.AddInt32("index", testCase.index);
		request.AddMessage("specifiers", &specifier);
		BMessage reply;
		// From another thread, as a locale maker in another process asks.
		std::thread asker([&] {
			ASSERT_EQ(BMessenger(fBed->app.get()).SendMessage(&request, &reply, 5000000, 5000000),
				B_OK);
		});
		BDisplay::WaitFor([&] { return reply.what == B_REPLY; });
		asker.join();
		EXPECT_STREQ(reply.GetString("result", ""), testCase.expected) << testCase.property;
	}
	BMessage all(B_GET_PROPERTY);
	all.AddString("property", "DefaultText");
	BMessage reply;
	std::thread asker([&] {
		(void)BMessenger(fBed->app.get()).SendMessage(&all, &reply, 5000000, 5000000);
	});
	BDisplay::WaitFor([&] { return reply.what == B_REPLY; });
	asker.join();
	int32 count = 0;
	EXPECT_EQ(reply.GetInfo("result", nullptr, &count), B_OK);
	EXPECT_EQ(count, kInstalledTextCount);
}


TEST_F(GuiWindowTest, AServerThatDiedIsStartedAgainOnTheNextRequest)
{
	ASSERT_NE(StartWith([](Preferences*) {}), nullptr);
	fServer->Signal(SIGKILL);
	ASSERT_TRUE(fServer->AwaitExit(5000000));
	ASSERT_TRUE(BDisplay::WaitFor([] { return !be_roster->IsRunning(kServerSignature); }));
	BMessage list(kMsgJobList);
	BMessage reply;
	EXPECT_EQ(fBed->app->PostServer(&list, &reply), B_OK);
	team_id again = be_roster->TeamFor(kServerSignature);
	EXPECT_GT(again, 0);
	EXPECT_NE(again, fServer->Pid());
	EXPECT_EQ(fBed->app->ServerTeam(), again);
	kill(again, SIGTERM);
	EXPECT_TRUE(BDisplay::WaitFor([] { return !be_roster->IsRunning(kServerSignature); }));
}


TEST_F(GuiWindowTest, AServerThatCannotBeStartedAgainIsReportedOnce)
{
	ASSERT_NE(StartWith([](Preferences*) {}), nullptr);
	ASSERT_EQ(rename(fTree.ServerProgram().c_str(), (fTree.ServerProgram() + ".gone").c_str()), 0);
	fServer->Signal(SIGKILL);
	ASSERT_TRUE(fServer->AwaitExit(5000000));
	ASSERT_TRUE(BDisplay::WaitFor([] { return !be_roster->IsRunning(kServerSignature); }));
	AlertAnswers alerts;
	alerts.Expect("Continue");
	for (int attempt = 0; attempt < 2; attempt++) {
		BMessage list(kMsgJobList);
		BMessage reply;
		EXPECT_NE(fBed->app->PostServer(&list, &reply), B_OK);
	}
	ASSERT_EQ(alerts.Alerts().size(), 1u) << "the loss is told once";
	EXPECT_NE(alerts.Alerts()[0].text.find("backup server has stopped"), std::string::npos);
}


// Keeps what a settings window sends its target.
class ReplyKeeper : public BHandler {
public:
	ReplyKeeper() : BHandler("keeper") {}
	void MessageReceived(BMessage* message) override { replies.push_back(*message); }
	std::vector<BMessage> replies;
};


TEST_F(GuiWindowTest, AddOnSettingsWindowsChangeTheirSettings)
{
	BackupWindow* window = StartWith([](Preferences*) {});
	ASSERT_NE(window, nullptr);
	AddOnShelf shelf(fTree.ServerFolder());
	std::vector<AddOnShelf::Entry> destinations = shelf.List(AddOnShelf::kDestination);
	ASSERT_FALSE(destinations.empty());
	EXPECT_EQ(destinations[0].fileName, "MVImage");
	std::vector<AddOnShelf::Entry> compressors = shelf.List(AddOnShelf::kCompressor);
	ASSERT_EQ(compressors.size(), 2u);
	EXPECT_EQ(compressors[0].menuName, "LZRW1");
	EXPECT_EQ(compressors[1].menuName, "None");

	ReplyKeeper keeper;
	ASSERT_TRUE(window->Lock());
	window->AddHandler(&keeper);
	window->Unlock();
	BMessage settings;
	settings.AddString("MVVOLNAME", "/ServerTest/images");
	ASSERT_EQ(shelf.OpenSettings(AddOnShelf::kDestination, "MVImage", settings, window, &keeper),
		B_OK);
	BWindow* image = nullptr;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return (image = BDisplay::FindWindow("Image Settings")) != nullptr;
	}));
	auto* overwrite = static_cast<BControl*>(image->FindView("Overwrite"));
	ASSERT_NE(overwrite, nullptr);
	ASSERT_TRUE(image->Lock());
	static_cast<BButton*>(image->FindView("btn_ok"))->Click();
	image->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return !keeper.replies.empty(); }));
	BMessage confirmed;
	ASSERT_EQ(keeper.replies[0].FindMessage("settings", &confirmed), B_OK);
	EXPECT_STREQ(confirmed.GetString("MVVOLNAME", ""), "/ServerTest/images");
	// The add-on's texts are its own: the GUI's stay as they were.
	EXPECT_STREQ(GuiText(kTextFile), "File");
	ASSERT_TRUE(window->Lock());
	window->RemoveHandler(&keeper);
	window->Unlock();
}

}	// namespace
