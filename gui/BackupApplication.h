#pragma once

// BackupApplication: the GUI program's application. At start it checks the
// volume it runs from, prepares its folders, preferences and language, makes
// sure the server runs, registers with it and opens the main window. While
// it runs it is the GUI's one link to the server: views hand it their
// requests (PostServer), and the server's notices go through it to the main
// window.

#include <memory>
#include <string>
#include <vector>

#include <app/Application.h>
#include <interface/Rect.h>

#include "ServerLink.h"

class BackupWindow;
class Preferences;

class BackupApplication : public BApplication {
public:
	// Where the program lies; by default the folder of the running program.
	struct Places {
		std::string programFolder;   // system path
		std::string serverProgram;   // native path of the server to start
	};

	// files: native paths of job-settings files to open after start-up.
	explicit BackupApplication(std::vector<std::string> files = {});
	BackupApplication(Places places, std::vector<std::string> files);
	~BackupApplication() override;

	void ReadyToRun() override;
	void MessageReceived(BMessage* message) override;
	bool QuitRequested() override;

	// Sends the message to the server, waiting for the reply when one is
	// given (never longer than the link's time-out). A server that cannot
	// be reached fails the request; the user is told once per loss.
	status_t PostServer(BMessage* message, BMessage* reply = nullptr);

	// The main window is quitting: the program ends with it.
	void MainWindowGone(BackupWindow* window);

	Preferences* Prefs() const { return fPrefs.get(); }
	team_id ServerTeam() const { return fLink.Team(); }
	// The server, for requests another class makes itself (with the link's
	// time-out, kServerTimeout).
	BMessenger Server() { return fLink.Server(); }
	static constexpr bigtime_t kServerTimeout = ServerLink::kRequestTimeout;
	BackupWindow* MainWindow() const { return fWindow; }
	const std::string& ProgramFolder() const { return fPlaces.programFolder; }
	// A folder beside the program, as a system path.
	std::string FolderBeside(const char* name) const;

	static BackupApplication* Get();

private:
	bool _CheckVolume();
	void _PrepareFolders();
	void _LoadPreferences();
	void _LoadLanguage();
	void _OpenFiles();
	void _AnswerProperty(BMessage* message);
	void _Stop(const char* text);

	Places fPlaces;
	std::vector<std::string> fFiles;
	std::unique_ptr<Preferences> fPrefs;
	ServerLink fLink;
	BackupWindow* fWindow = nullptr;
	bool fServerLossShown = false;
};
