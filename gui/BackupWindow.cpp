#include "BackupWindow.h"

#include <strings.h>

#include <cstring>

#include <algorithm>
#include <set>

#include <app/Message.h>
#include <app/Roster.h>
#include <interface/Alert.h>
#include <interface/MenuBar.h>
#include <interface/MenuItem.h>
#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/Node.h>
#include <storage/NodeMonitor.h>
#include <storage/VolumeTable.h>

#include "BackupApplication.h"
#include "GuiPreferences.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "MVRequestWindow.h"
#include "MVStartView.h"
#include "MVStatusSettingsWindow.h"
#include "MVStatusWindow.h"
#include "MVLocale.h"
#include "MVToolBarView.h"
#include "Preferences.h"
#include "ServerProtocol.h"
#include "ToolTable.h"

namespace {


const uint32 kToolbarModes[] = {kCmdToolbarNone, kCmdToolbarIconOnly, kCmdToolbarTextOnly,
	kCmdToolbarIconAndText, kCmdToolbarIconAboveText};
const int32 kToolbarTexts[] = {kTextNone, kTextIconOnly, kTextTextOnly, kTextIconAndText,
	kTextIconAboveText};


// The language a locale file names in its attribute, or "" for none.
std::string LanguageOf(const BEntry& entry)
{
	BNode node(&entry);
	char name[65] = {};
	ssize_t length = node.ReadAttr("mv:language", B_STRING_TYPE, 0, name, 64);
	if (length <= 0)
		return "";
	return std::string(name, strnlen(name, size_t(length)));
}

}	// namespace


BackupWindow::BackupWindow(BRect frame)
	:
	BWindow(frame, "Morvane Backup", B_TITLED_WINDOW, 0)
{
	_BuildMenus();
	_SetToolbar(GuiPreferences::ToolbarMode(*_Prefs()));
	fStartView = new MVStartView(_ToolArea());
	AddChild(fStartView);
	fVisible = fStartView;
	fLastPosition = Frame().LeftTop();
	_OpenFirstTool();
	std::string locale = BackupApplication::Get()->FolderBeside("locale");
	BEntry folder(locale.c_str());
	node_ref node;
	if (folder.GetNodeRef(&node) == B_OK)
		(void)watch_node(&node, B_WATCH_DIRECTORY, BMessenger(this));
}


BackupWindow::~BackupWindow()
{
	(void)stop_watching(BMessenger(this));
	for (auto& [name, window] : std::map<std::string, BWindow*>(fRequests)) {
		if (window->Lock())
			window->Quit();
	}
	for (auto& [name, window] : std::map<std::string, BWindow*>(fRegistry)) {
		if (window->Lock())
			window->Quit();
	}
}


Preferences* BackupWindow::_Prefs() const
{
	return BackupApplication::Get()->Prefs();
}


void BackupWindow::_BuildMenus()
{
	fMenuBar = new BMenuBar(BRect(0, 0, Bounds().Width(), 19), "MV_MENUBAR");
	fMenuBar->AddItem(_BuildFileMenu());
	fMenuBar->AddItem(_BuildToolsMenu());
	fMenuBar->AddItem(_BuildPreferencesMenu());
	AddChild(fMenuBar);
	fMenuBar->ResizeTo(Bounds().Width(), fMenuBar->PreferredHeight());
}


BMenu* BackupWindow::_BuildFileMenu()
{
	auto* menu = new BMenu(GuiText(kTextFile));
	menu->AddItem(new BMenuItem(GuiText(kTextAbout), new BMessage(B_ABOUT_REQUESTED)));
	menu->AddItem(new BMenuItem(GuiText(kTextHelp), new BMessage(kCmdHelp)));
	menu->AddSeparatorItem();
	auto* settings = new BMenu(GuiText(kTextJobSettings));
	settings->AddItem(new BMenuItem(GuiText(kTextLoad), new BMessage(kCmdLoadSelection)));
	settings->AddItem(new BMenuItem(GuiText(kTextSave), new BMessage(kCmdSaveSelection)));
	menu->AddItem(settings);
	auto* selection = new BMenu(GuiText(kTextSelection));
	selection->AddItem(new BMenuItem(GuiText(kTextAll), new BMessage(kCmdSelectAll)));
	selection->AddItem(new BMenuItem(GuiText(kTextClear), new BMessage(kCmdClearSelection)));
	menu->AddItem(selection);
	menu->AddSeparatorItem();
	menu->AddItem(new BMenuItem(GuiText(kTextQuit), new BMessage(B_QUIT_REQUESTED), 'Q'));
	return menu;
}


BMenu* BackupWindow::_BuildToolsMenu()
{
	fToolsMenu = new BMenu(GuiText(kTextTools));
	for (const ToolEntry& tool : kToolTable)
		fToolsMenu->AddItem(new BMenuItem(GuiText(tool.text), new BMessage(tool.command)));
	return fToolsMenu;
}


BMenu* BackupWindow::_BuildPreferencesMenu()
{
	auto* menu = new BMenu(GuiText(kTextPreferences));
	menu->AddItem(new BMenuItem(GuiText(kTextRunningJobsWindow), new BMessage(kCmdStatusSettings)));
	auto* last = new BMenuItem(GuiText(kTextRestartWithLastTool),
		new BMessage(kCmdRestartWithLastTool));
	last->SetMarked(_Prefs()->GetInt8(kPrefLastTool, 0) != 0);
	menu->AddItem(last);
	fLanguageMenu = new BMenu(GuiText(kTextLanguage));
	menu->AddItem(fLanguageMenu);
	_BuildLanguageMenu();
	fToolbarMenu = new BMenu(GuiText(kTextToolbar));
	fToolbarMenu->SetRadioMode(true);
	for (size_t index = 0; index < std::size(kToolbarModes); index++) {
		fToolbarMenu->AddItem(new BMenuItem(GuiText(kToolbarTexts[index]),
			new BMessage(kToolbarModes[index])));
	}
	menu->AddItem(fToolbarMenu);
	menu->AddSeparatorItem();
	auto* autoprefs = new BMenuItem(GuiText(kTextAutoprefs), new BMessage(kCmdAutoprefs));
	autoprefs->SetMarked(_Prefs()->GetInt8(kPrefAutoprefs, 1) != 0);
	menu->AddItem(autoprefs);
	menu->AddItem(new BMenuItem(GuiText(kTextSave), new BMessage(kCmdSavePreferences)));
	return menu;
}


void BackupWindow::_BuildLanguageMenu()
{
	while (fLanguageMenu->CountItems() > 0)
		delete fLanguageMenu->RemoveItem(int32(0));
	std::string current = _Prefs()->GetString(kPrefLanguage, "English");
	BDirectory folder(BackupApplication::Get()->FolderBeside("locale").c_str());
	BEntry entry;
	std::set<std::string> added;
	while (folder.GetNextEntry(&entry) == B_OK) {
		std::string language = LanguageOf(entry);
		if (language.empty() || !added.insert(language).second)
			continue;
		auto* message = new BMessage(kCmdLanguage);
		message->AddString("language", language.c_str());
		auto* item = new BMenuItem(language.c_str(), message);
		item->SetMarked(language == current);
		fLanguageMenu->AddItem(item);
	}
}


void BackupWindow::_SetToolbar(uint32 mode)
{
	if (fToolBar != nullptr) {
		RemoveChild(fToolBar);
		delete fToolBar;
		fToolBar = nullptr;
	}
	fToolbarMode = mode;
	if (mode != kCmdToolbarNone) {
		float top = fMenuBar->Frame().bottom + 1;
		fToolBar = new MVToolBarView(BRect(0, top, Bounds().Width(),
			top + MVToolBarView::HeightFor(mode) - 1), mode);
		AddChild(fToolBar);
	}
	// The window is never narrower than its tool bar.
	float minWidth = std::max(fToolBar != nullptr ? fToolBar->ButtonsWidth() : 0.0f, 400.0f);
	SetSizeLimits(minWidth, 10000, 250, 10000);
	if (Bounds().Width() < minWidth)
		ResizeTo(minWidth, Bounds().Height());
	if (BMenuItem* item = fToolbarMenu->FindItem(mode))
		item->SetMarked(true);
	BRect area = _ToolArea();
	for (BView* tool : std::initializer_list<BView*>{fStartView, fTools[1], fTools[2], fTools[3],
			fTools[4], fTools[5], fTools[6]}) {
		if (tool == nullptr)
			continue;
		tool->MoveTo(area.left, area.top);
		tool->ResizeTo(area.Width(), area.Height());
	}
}


BRect BackupWindow::_ToolArea() const
{
	BRect area = Bounds();
	area.top = fMenuBar->Frame().bottom + 1;
	if (fToolBar != nullptr)
		area.top = fToolBar->Frame().bottom + 1;
	return area;
}


void BackupWindow::_OpenFirstTool()
{
	if (_Prefs()->GetInt8(kPrefLastTool, 0) == 0)
		return;
	int8 last = _Prefs()->GetInt8(kPrefLastView, 0);
	if (const ToolEntry* tool = ToolByKind(last))
		(void)PostMessage(tool->command);
}


void BackupWindow::_ShowTool(uint32 command, BMessage* message)
{
	const ToolEntry* tool = ToolByCommand(command);
	(void)_Prefs()->Set(kPrefLastView, int8(tool->kind));
	entry_ref ref;
	bool hasFile = message->FindRef("ref", &ref) == B_OK;
	MVToolView*& view = fTools[tool->kind];
	if (view == nullptr) {
		view = CreateToolView(tool->kind, _ToolArea());
		if (view != nullptr) {
			view->Hide();
			AddChild(view);
			if (!hasFile)
				view->SetPref(_Prefs()->GetMessageData(tool->prefKey));
		}
	}
	if (view != nullptr && hasFile)
		view->LoadFile(ref);
	BView* next = view != nullptr ? static_cast<BView*>(view) : fStartView;
	if (next != fVisible) {
		fVisible->Hide();
		next->Show();
		fVisible = next;
	}
	for (int32 index = 0; index < fToolsMenu->CountItems(); index++)
		fToolsMenu->ItemAt(index)->SetMarked(fToolsMenu->ItemAt(index)->Command() == command);
}


void BackupWindow::_ForwardToVisible(BMessage* message)
{
	if (fVisible != fStartView && fVisible != nullptr)
		(void)PostMessage(message, fVisible);
}


void BackupWindow::_ForwardTo(ToolKind kind, BMessage* message)
{
	if (fTools[kind] != nullptr)
		(void)PostMessage(message, fTools[kind]);
}


void BackupWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdBackupTool:
		case kCmdRestoreTool:
		case kCmdJobQueueTool:
		case kCmdReportTool:
		case kCmdCompareTool:
		case kCmdQuickBackupTool:
			_ShowTool(message->what, message);
			break;
		case kCmdLoadSelection:
		case kCmdSaveSelection:
		case kCmdSelectAll:
		case kCmdClearSelection:
			_ForwardToVisible(message);
			break;
		case kMsgJobInserted:
		case kMsgJobRemoved:
		case kMsgJobChanged:
			_ForwardTo(kToolJobQueue, message);
			_ForwardTo(kToolBackup, message);
			if (BWindow* status = Registered(kStatusWindowName))
				(void)status->PostMessage(message);
			break;
		case kMsgLogInserted:
		case kMsgLogRemoved:
			_ForwardTo(kToolRestore, message);
			_ForwardTo(kToolCompare, message);
			break;
		case kMsgVolumeData:
			_ForwardTo(kToolRestore, message);
			_ForwardTo(kToolJobQueue, message);
			break;
		case kCmdReportClear:
		case kCmdReportPrint:
		case kCmdReportSave:
		case kCmdReportSettings:
		case kMsgReportDeletedNews:
		case kMsgReportInsertedNews:
		case kMsgReportRemovedNews:
			_ForwardTo(kToolReports, message);
			break;
		case kMsgJobStart:
			_JobStarted(message);
			break;
		case kCmdStatusSettings:
			_OpenStatusSettings();
			break;
		case kCmdStatusSettingsClosed:
			_StatusSettingsClosed(message);
			break;
		case kCmdStatusWindowClosed:
			_StatusWindowClosed(message);
			break;
		case kMsgQuestion:
			_Question(message);
			break;
		case kMsgRequestWindowClosed:
			_RequestClosed(message);
			break;
		case kMsgWithdrawQuestion:
			break;
		case kCmdHelp:
			_OpenHelp();
			break;
		case kCmdLanguage:
			_SetLanguage(message);
			break;
		case B_NODE_MONITOR:
			_BuildLanguageMenu();
			break;
		case kCmdRestartWithLastTool:
			_Toggle(message->what, kPrefLastTool);
			break;
		case kCmdAutoprefs:
			_Toggle(message->what, kPrefAutoprefs);
			break;
		case kCmdSavePreferences:
			_StoreToolSettings();
			(void)_Prefs()->Save();
			break;
		case kCmdToolbarNone:
		case kCmdToolbarIconOnly:
		case kCmdToolbarTextOnly:
		case kCmdToolbarIconAndText:
		case kCmdToolbarIconAboveText:
			_SetToolbar(message->what);
			(void)_Prefs()->Set(kPrefToolbar, int32(message->what));
			break;
		case B_ABOUT_REQUESTED:
			(new BAlert("About", "Morvane Backup\n\nBackup, restore and compare for Linux "
				"desktops and servers.", GuiText(kTextOk)))->Go();
			break;
		default:
			BWindow::MessageReceived(message);
			break;
	}
}


void BackupWindow::_JobStarted(BMessage* message)
{
	BMessage status = GuiPreferences::StatusSettings(*_Prefs());
	auto* window = static_cast<MVStatusWindow*>(Registered(kStatusWindowName));
	if (window == nullptr && status.GetInt32(kStatusAutoOpen, 1) != 0) {
		window = new MVStatusWindow(status, BMessenger(this));
		_Register(kStatusWindowName, window);
	}
	if (window == nullptr) {
		BMessage none(B_NO_REPLY);
		(void)message->SendReply(&none);
		return;
	}
	window->Show();
	BMessenger view;
	if (window->Lock()) {
		view = window->AddJob(*message);
		window->Unlock();
	}
	BMessage reply(B_REPLY);
	if (view.IsValid())
		reply.AddMessenger("user", view);
	(void)message->SendReply(&reply);
}


void BackupWindow::_OpenStatusSettings()
{
	if (BWindow* open = Registered(kStatusSettingsName)) {
		open->Activate();
		return;
	}
	auto* window = new MVStatusSettingsWindow(GuiPreferences::StatusSettings(*_Prefs()),
		BMessenger(this));
	_Register(kStatusSettingsName, window);
	window->Show();
}


void BackupWindow::_StatusSettingsClosed(BMessage* message)
{
	_Unregister(kStatusSettingsName);
	BMessage settings;
	if (message->GetBool("result", false) && message->FindMessage("settings", &settings) == B_OK) {
		// The frame of the running-jobs window is the window's to keep.
		BMessage old = _Prefs()->GetMessageData(kPrefStatus);
		BRect frame;
		if (old.FindRect(kStatusFrame, &frame) == B_OK)
			settings.SetRect(kStatusFrame, frame);
		(void)_Prefs()->Set(kPrefStatus, settings);
		if (auto* status = static_cast<MVStatusWindow*>(Registered(kStatusWindowName))) {
			if (status->Lock()) {
				status->SetSettings(settings);
				status->Unlock();
			}
		}
	}
}


void BackupWindow::_StatusWindowClosed(BMessage* message)
{
	_Unregister(kStatusWindowName);
	BRect frame;
	if (message->FindRect("frame", &frame) == B_OK) {
		BMessage status = _Prefs()->GetMessageData(kPrefStatus);
		status.SetRect(kStatusFrame, frame);
		(void)_Prefs()->Set(kPrefStatus, status);
	}
}


void BackupWindow::_Question(BMessage* message)
{
	std::string title = message->GetString("title", "");
	auto open = fRequests.find(title);
	if (open != fRequests.end()) {
		open->second->Activate();
		return;
	}
	BMessage reply;
	if (message->FindMessage("reply", &reply) != B_OK)
		reply = BMessage(kMsgQuestionAnswer);
	if (!reply.HasData("job_id", B_INT32_TYPE))
		reply.AddInt32("job_id", message->GetInt32("job_id", 0));
	const char* labels[3];
	for (int32 index = 0; index < 3; index++) {
		std::string key = "label" + std::to_string(index);
		labels[index] = message->GetString(key.c_str(), nullptr);
		if (labels[index] != nullptr && labels[index][0] == '\0')
			labels[index] = nullptr;
	}
	auto* window = new MVRequestWindow(title.c_str(), message->GetString("text", ""), labels,
		message->GetInt32("type", 0), reply, BMessenger(this));
	fRequests[title] = window;
	window->Show();
}


void BackupWindow::_RequestClosed(BMessage* message)
{
	std::string title = message->GetString("title", "");
	fRequests.erase(title);
	BMessage answer;
	if (message->FindMessage("answer", &answer) == B_OK)
		(void)BackupApplication::Get()->PostServer(&answer);
}


void BackupWindow::_OpenHelp()
{
	std::string language = _Prefs()->GetString(kPrefLanguage, "English");
	const char* file = strcasecmp(language.c_str(), "Deutsch") == 0
		? "Documentation/Backup-Guide-Deutsch.html" : "Documentation/Backup-Guide-English.html";
	std::string path = BackupApplication::Get()->FolderBeside(file);
	std::string native;
	bool opened = BEntry(path.c_str()).Exists()
		&& VolumeTable::ToNative(path.c_str(), &native) == B_OK
		&& be_roster->Launch("/usr/bin/xdg-open", {native}) == B_OK;
	if (!opened) {
		char text[1024];
		snprintf(text, sizeof(text), GuiText(kTextCannotLoadHelp), path.c_str());
		(new BAlert("Help", text, GuiText(kTextContinue)))->Go();
	}
}


void BackupWindow::_SetLanguage(BMessage* message)
{
	const char* language = message->GetString("language", nullptr);
	if (language == nullptr)
		return;
	(void)MVLocale::GetInstance()->SetLanguage(
		BackupApplication::Get()->FolderBeside("locale").c_str(), language);
	(void)_Prefs()->Set(kPrefLanguage, language);
	for (int32 index = 0; index < fLanguageMenu->CountItems(); index++) {
		BMenuItem* item = fLanguageMenu->ItemAt(index);
		item->SetMarked(strcmp(item->Label(), language) == 0);
	}
	(new BAlert("Locale", GuiText(kTextLanguageAfterRestart), GuiText(kTextContinue)))->Go();
}


void BackupWindow::_Toggle(uint32 command, const char* key)
{
	BMenuItem* item = fMenuBar->FindItem(command);
	if (item == nullptr)
		return;
	item->SetMarked(!item->IsMarked());
	(void)_Prefs()->Set(key, int8(item->IsMarked() ? 1 : 0));
}


void BackupWindow::_StoreToolSettings()
{
	for (const ToolEntry& tool : kToolTable) {
		if (fTools[tool.kind] == nullptr)
			continue;
		BMessage settings;
		fTools[tool.kind]->GetPref(&settings);
		(void)_Prefs()->Set(tool.prefKey, settings);
	}
}


bool BackupWindow::QuitRequested()
{
	BMessage status = _Prefs()->GetMessageData(kPrefStatus);
	if (BWindow* window = Registered(kStatusWindowName)) {
		status.SetRect(kStatusFrame, window->Frame());
		(void)_Prefs()->Set(kPrefStatus, status);
	}
	if (_Prefs()->GetInt8(kPrefAutoprefs, 1) != 0)
		_StoreToolSettings();
	(void)_Prefs()->Set(kPrefMainFrame, Frame());
	(void)_Prefs()->Save();
	return true;
}


void BackupWindow::Quit()
{
	// The program ends with its main window; the application (on this
	// thread) forgets it before it goes.
	if (BackupApplication* application = BackupApplication::Get())
		application->MainWindowGone(this);
	BWindow::Quit();
}


void BackupWindow::FrameMoved(BPoint where)
{
	float dx = where.x - fLastPosition.x;
	float dy = where.y - fLastPosition.y;
	fLastPosition = where;
	BWindow* status = Registered(kStatusWindowName);
	if (status == nullptr || (dx == 0 && dy == 0))
		return;
	if (_Prefs()->GetMessageData(kPrefStatus).GetInt32(kStatusFollowMain, 0) != 0)
		status->MoveBy(dx, dy);
}


BWindow* BackupWindow::Registered(const char* name) const
{
	auto found = fRegistry.find(name);
	return found != fRegistry.end() ? found->second : nullptr;
}


BWindow* BackupWindow::RequestWindow(const char* title) const
{
	auto found = fRequests.find(title != nullptr ? title : "");
	return found != fRequests.end() ? found->second : nullptr;
}


void BackupWindow::_Register(const char* name, BWindow* window)
{
	fRegistry[name] = window;
}


void BackupWindow::_Unregister(const char* name)
{
	fRegistry.erase(name);
}
