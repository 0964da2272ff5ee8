#pragma once

// BackupWindow: the GUI's main window. It carries the menus, the tool bar
// and one tool at a time, routes the commands and the server's notices to
// the tools they concern, and owns the running-jobs window, its settings
// window and the request windows through which jobs ask the user.

#include <map>
#include <string>

#include <interface/Window.h>

#include "MVToolView.h"

class BMenu;
class BMenuBar;
class BMenuItem;
class MVStartView;
class MVStatusWindow;
class MVToolBarView;
class Preferences;

class BackupWindow : public BWindow {
public:
	explicit BackupWindow(BRect frame);
	~BackupWindow() override;

	void MessageReceived(BMessage* message) override;
	bool QuitRequested() override;
	void Quit() override;
	// The running-jobs window follows when its settings say so.
	void FrameMoved(BPoint where) override;

	// For tests and the screenshots.
	BView* VisibleTool() const { return fVisible; }
	MVToolView* Tool(ToolKind kind) const { return fTools[kind]; }
	// The open auxiliary window of that name: "win_status" (running jobs),
	// "win_statussettings"; null when it is not open.
	BWindow* Registered(const char* name) const;
	BMenu* LanguageMenu() const { return fLanguageMenu; }
	uint32 ToolbarMode() const { return fToolbarMode; }
	int32 CountRequestWindows() const { return int32(fRequests.size()); }
	BWindow* RequestWindow(const char* title) const;

private:
	void _BuildMenus();
	BMenu* _BuildFileMenu();
	BMenu* _BuildToolsMenu();
	BMenu* _BuildPreferencesMenu();
	void _BuildLanguageMenu();
	void _SetToolbar(uint32 mode);
	BRect _ToolArea() const;
	void _OpenFirstTool();
	void _ShowTool(uint32 command, BMessage* message);
	void _ForwardToVisible(BMessage* message);
	void _ForwardTo(ToolKind kind, BMessage* message);
	void _JobStarted(BMessage* message);
	void _OpenStatusSettings();
	void _StatusSettingsClosed(BMessage* message);
	void _StatusWindowClosed(BMessage* message);
	void _Question(BMessage* message);
	void _RequestClosed(BMessage* message);
	void _OpenHelp();
	void _SetLanguage(BMessage* message);
	void _Toggle(uint32 command, const char* key);
	void _StoreToolSettings();
	void _Register(const char* name, BWindow* window);
	void _Unregister(const char* name);
	Preferences* _Prefs() const;

	BMenuBar* fMenuBar = nullptr;
	BMenu* fToolsMenu = nullptr;
	BMenu* fLanguageMenu = nullptr;
	BMenu* fToolbarMenu = nullptr;
	MVToolBarView* fToolBar = nullptr;
	uint32 fToolbarMode = 0;
	MVStartView* fStartView = nullptr;
	MVToolView* fTools[kToolCount] = {};
	BView* fVisible = nullptr;
	std::map<std::string, BWindow*> fRegistry;
	std::map<std::string, BWindow*> fRequests;
	BPoint fLastPosition;
};
