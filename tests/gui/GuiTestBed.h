#pragma once

// What the GUI tests share: the application over a program folder with its
// queue driven by the display, and a copy of the installed tree with a
// running server whose volume table the test process shares.

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <app/Message.h>
#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/Display.h>
#include <interface/TextControl.h>
#include <storage/VolumeTable.h>

#include "BackupApplication.h"
#include "BackupCommand.h"
#include "CommandLine.h"
#include "BackupWindow.h"
#include "ChildProcess.h"
#include "Preferences.h"
#include "MVToolView.h"
#include "ServerProtocol.h"
#include "ServerTree.h"

inline std::string SystemPath(const std::string& native)
{
	std::string path;
	EXPECT_EQ(VolumeTable::ToSystem(native.c_str(), &path), B_OK);
	return path;
}


// An application over a program folder, its queue driven by the display.
struct GuiBed {
	GuiBed(const std::string& nativeFolder, const std::string& serverProgram,
		std::vector<std::string> files = {})
	{
		BackupApplication::Places places{SystemPath(nativeFolder), serverProgram};
		app = std::make_unique<BackupApplication>(places, std::move(files));
		BDisplay::AttachApplication(app.get());
	}

	~GuiBed()
	{
		if (BackupWindow* window = app->MainWindow()) {
			if (window->Lock())
				window->Quit();
			BDisplay::WaitFor([&] { return app->MainWindow() == nullptr; });
		}
		BDisplay::ProcessEvents(10000);
	}

	void Start() { ASSERT_EQ(app->PostMessage(B_READY_TO_RUN), B_OK); }

	BackupWindow* AwaitWindow()
	{
		BDisplay::WaitFor([&] { return app->MainWindow() != nullptr; });
		return app->MainWindow();
	}

	std::unique_ptr<BackupApplication> app;
};


// A copy of the installed tree with a running server, and the GUI over it.
class GuiWindowTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(fTree.IsValid());
		// The server's only volume is the copy; the GUI sees the same table,
		// so that the paths in its jobs mean the same to both.
		for (const std::string& variable : fTree.Environment()) {
			if (variable.rfind("MORVANE_VOLUMES=", 0) == 0)
				setenv("MORVANE_VOLUMES", variable.substr(16).c_str(), 1);
		}
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		fServer = fTree.StartServer({"--daemon"});
		ASSERT_NE(fServer, nullptr);
		ASSERT_TRUE(AwaitRegistered(fServer->Pid(), 20000000));
	}

	void TearDown() override
	{
		fBed.reset();
		unsetenv("MORVANE_VOLUMES");
		(void)VolumeTable::Reload();
	}

	std::string ProgramFolder() const
	{
		std::string server = fTree.ServerFolder();
		return server.substr(0, server.rfind('/'));
	}

	// Writes preferences the window reads at start, then starts the GUI.
	BackupWindow* StartWith(const std::function<void(Preferences*)>& setUp,
		std::vector<std::string> files = {})
	{
		Preferences prefs(SystemPath(ProgramFolder() + "/Backup.prefs").c_str(), "MVBACKUP");
		setUp(&prefs);
		EXPECT_EQ(prefs.Save(), Preferences::kOK);
		fBed = std::make_unique<GuiBed>(ProgramFolder(), fTree.ServerProgram(), std::move(files));
		fBed->Start();
		return fBed->AwaitWindow();
	}

	// The main window showing the tool, which starts with these settings.
	MVToolView* OpenToolWith(ToolKind kind, uint32 command, const char* key,
		const BMessage& settings)
	{
		BackupWindow* window = StartWith([&](Preferences* prefs) {
			(void)prefs->Set(key, settings);
		});
		EXPECT_NE(window, nullptr);
		fWindow = window;
		if (window == nullptr)
			return nullptr;
		EXPECT_EQ(window->PostMessage(command), B_OK);
		BDisplay::WaitFor([&] { return window->Tool(kind) != nullptr; });
		return window->Tool(kind);
	}

	// The server's job index and how many jobs it lists.
	int32 JobIndex(BMessage* index)
	{
		BMessage list(kMsgJobList);
		EXPECT_EQ(fBed->app->PostServer(&list, index), B_OK);
		int32 count = 0;
		(void)index->GetInfo("job_id", nullptr, &count);
		return count;
	}

	int32 CountJobs()
	{
		BMessage index;
		return JobIndex(&index);
	}

	// The reports the server keeps, -1 when it cannot be asked.
	int32 CountReports()
	{
		BMessage request(kMsgReportGetList);
		BMessage list;
		if (fBed->app->PostServer(&request, &list) != B_OK)
			return -1;
		int32 count = 0;
		(void)list.GetInfo("report_id", nullptr, &count);
		return count;
	}

	BMessage LastJob()
	{
		BMessage index;
		int32 count = JobIndex(&index);
		BMessage get(kMsgJobGet);
		get.AddInt32("job_id", index.GetInt32("job_id", count - 1, 0));
		BMessage record;
		EXPECT_EQ(fBed->app->PostServer(&get, &record), B_OK);
		return record;
	}

	// Waits until no window has the title: a closed window is deleted a
	// little later, and must not be found again as a new one.
	static bool AwaitWindowGone(const char* title)
	{
		return BDisplay::WaitFor([&] { return BDisplay::FindWindow(title) == nullptr; });
	}

	// Clicks the button of that name in a view of the main window.
	void Press(BView* view, const char* button)
	{
		ASSERT_TRUE(fWindow->Lock());
		auto* control = static_cast<BButton*>(view->FindView(button));
		EXPECT_NE(control, nullptr) << button;
		if (control != nullptr)
			control->Click();
		fWindow->Unlock();
	}

	// Presses the tool's Start and confirms the start window.
	void ConfirmStart(BView* tool, bool onHold, const char* title = nullptr)
	{
		Press(tool, "btn_start");
		BWindow* start = nullptr;
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			return (start = BDisplay::FindWindow("Start Backup")) != nullptr;
		}));
		ASSERT_TRUE(start->Lock());
		if (title != nullptr)
			static_cast<BTextControl*>(start->FindView("txt_title"))->SetText(title);
		static_cast<BCheckBox*>(start->FindView("chk_hold"))->SetValue(
			onHold ? B_CONTROL_ON : B_CONTROL_OFF);
		static_cast<BButton*>(start->FindView("btn_ok"))->Click();
		start->Unlock();
		ASSERT_TRUE(AwaitWindowGone("Start Backup"));
	}

	ServerTree fTree;
	std::unique_ptr<ChildProcess> fServer;
	std::unique_ptr<GuiBed> fBed;
	BWindow* fWindow = nullptr;
};


// A backup job of a folder of the tree, as the command line builds it.
inline BMessage BackupJobOf(const std::string& folder, const std::string& images,
	const char* title = "GUI job", std::vector<std::string> options = {})
{
	BackupCommand command;
	CommandLine line;
	command.Declare(&line);
	std::vector<std::string> words = {"--to", images, "--title", title};
	words.insert(words.end(), options.begin(), options.end());
	words.push_back(folder);
	EXPECT_TRUE(line.Parse(words));
	std::string error;
	EXPECT_TRUE(command.Check(line, &error)) << error;
	BMessage job;
	command.BuildJob(&job);
	return job;
}
