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
#include <interface/Display.h>
#include <storage/VolumeTable.h>

#include "BackupApplication.h"
#include "BackupCommand.h"
#include "CommandLine.h"
#include "BackupWindow.h"
#include "ChildProcess.h"
#include "Preferences.h"
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

	ServerTree fTree;
	std::unique_ptr<ChildProcess> fServer;
	std::unique_ptr<GuiBed> fBed;
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
