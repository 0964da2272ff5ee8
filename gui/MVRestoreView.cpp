#include "MVRestoreView.h"

#include <map>

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/TextControl.h>
#include <interface/Window.h>

#include "BackupApplication.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "JobSettingsFile.h"
#include "JobType.h"
#include "MVDeleteRequestWindow.h"
#include "MVLogDataView.h"
#include "MVRestoreSettingsWindow.h"
#include "MVRestoreStartWin.h"
#include "MVSchedulerWindow.h"
#include "ServerProtocol.h"

namespace {

constexpr uint32 kCmdStart = 'rsST';
constexpr uint32 kMsgStartReply = 'resq';
constexpr uint32 kCmdSettings = 'rsSE';
constexpr uint32 kCmdScheduler = 'rssc';
constexpr uint32 kMsgSchedulerReply = 'swqt';
constexpr uint32 kCmdDelete = 'RSDE';
constexpr uint32 kMsgDeleteReply = 'rdcl';
constexpr uint32 kCmdRedirect = 'rsRD';
constexpr uint32 kCmdClearRedirect = 'rsRC';
constexpr const char* kAlertTitle = "Restore";
constexpr float kPathListHeight = 34;

const char* const kWidthKeys[] = {"RESNAMECOLWIDTH", "RESSIZECOLWIDTH", "RESDATECOLWIDTH",
	"RESREDIRECTCOLWIDTH", "RESMEDIACOLWIDTH", "RESOFFSETCOLWIDTH", "RESINDEXCOLWIDTH"};

struct ButtonSpec {
	const char* name;
	int32 text;
	uint32 command;
};

const ButtonSpec kButtons[] = {
	{"btn_delete", kTextDelete, kCmdDelete},
	{"btn_ressettings", kTextSettings, kCmdSettings},
	{"btn_resscheduler", kTextScheduler, kCmdScheduler},
	{"btn_resstart", kTextStart, kCmdStart},
};


std::string Joined(const std::vector<std::string>& parts)
{
	std::string joined;
	for (const std::string& part : parts)
		joined += (joined.empty() ? "" : ", ") + part;
	return joined;
}

}	// namespace


MVRestoreView::MVRestoreView(BRect frame)
	:
	MVToolView(frame, "MV_RESTORE"),
	fFiles(JobSettingsFile::kRestoreMagic, kAlertTitle)
{
	float width = frame.Width();
	float height = frame.Height();
	fCatalogue = new MVLogDataView(BRect(8, 8, width - 8, height - 44 - kPathListHeight),
		kWidthKeys);
	AddChild(fCatalogue);

	fPathList = new BView(BRect(8, height - 40 - kPathListHeight, width - 8, height - 44),
		"path_list", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW);
	float right = fPathList->Bounds().Width();
	fRedirectTo = new BTextControl(BRect(0, 4, right - 250, 28), "txt_redirect",
		GuiText(kTextRedirectTo), "", nullptr, B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	fPathList->AddChild(fRedirectTo);
	fPathList->AddChild(new BButton(BRect(right - 240, 2, right - 130, 28), "btn_redirect",
		GuiText(kTextRedirect), new BMessage(kCmdRedirect), B_FOLLOW_RIGHT | B_FOLLOW_TOP));
	fPathList->AddChild(new BButton(BRect(right - 120, 2, right, 28), "btn_clearredirect",
		GuiText(kTextClearRedirection), new BMessage(kCmdClearRedirect),
		B_FOLLOW_RIGHT | B_FOLLOW_TOP));
	AddChild(fPathList);

	float left = 8;
	for (const ButtonSpec& button : kButtons) {
		AddChild(new BButton(BRect(left, height - 36, left + 100, height - 10), button.name,
			GuiText(button.text), new BMessage(button.command), B_FOLLOW_LEFT | B_FOLLOW_BOTTOM));
		left += 108;
	}
	_ShowPathList();
}


MVRestoreView::~MVRestoreView()
{
	for (BWindow* window : {static_cast<BWindow*>(fStartWindow),
			static_cast<BWindow*>(fDeleteWindow), fSettingsWindow, fSchedulerWindow}) {
		if (window != nullptr && window->Lock())
			window->Quit();
	}
}


void MVRestoreView::AttachedToWindow()
{
	AimButtonsHere();
	for (const char* name : {"btn_redirect", "btn_clearredirect"})
		(void)static_cast<BButton*>(FindView(name))->SetTarget(this);
}


void MVRestoreView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdStart:
			_Start();
			break;
		case kMsgStartReply:
			_StartClosed(message);
			break;
		case kCmdSettings:
			_OpenSettings();
			break;
		case kMsgRestoreSettingsReply:
			_SettingsClosed(message);
			break;
		case kCmdScheduler:
			_OpenScheduler();
			break;
		case kMsgSchedulerReply:
			_SchedulerClosed(message);
			break;
		case kCmdDelete:
			_Delete();
			break;
		case kMsgDeleteReply:
			_DeleteClosed(message);
			break;
		case kCmdRedirect:
		case kCmdClearRedirect:
			_Redirect(message->what == kCmdClearRedirect);
			break;
		case kMsgCatalogueMarksChanged:
			_MarksChanged();
			break;
		case kMsgLogInserted:
		case kMsgLogRemoved:
			fCatalogue->Reload();
			_MarksChanged();
			break;
		case kCmdSelectAll:
		case kCmdClearSelection:
			fCatalogue->SelectAll(message->what == kCmdSelectAll);
			break;
		case kCmdLoadSelection:
		case kCmdSaveSelection:
			fFiles.Show(message->what == kCmdSaveSelection, this);
			break;
		case B_REFS_RECEIVED:
		case B_SAVE_REQUESTED:
			_FileChosen(message);
			break;
		case B_CANCEL:
			break;
		default:
			MVToolView::MessageReceived(message);
			break;
	}
}


void MVRestoreView::GetPref(BMessage* settings) const
{
	*settings = fSettings;
	BMessage selection;
	fCatalogue->GetSelection(&selection);
	(void)settings->SetMessage("selection", &selection);
	fCatalogue->StoreColumnWidths(settings);
}


void MVRestoreView::SetPref(const BMessage& settings)
{
	fSettings = settings;
	BMessage selection;
	if (fSettings.FindMessage("selection", &selection) == B_OK)
		fCatalogue->SetSelection(selection);
	fCatalogue->RestoreColumnWidths(fSettings);
	_ShowPathList();
}


void MVRestoreView::LoadFile(const entry_ref& ref)
{
	BMessage settings;
	if (fFiles.Load(ref, &settings))
		SetPref(settings);
}


void MVRestoreView::_FileChosen(BMessage* message)
{
	entry_ref ref;
	if (message->what == B_REFS_RECEIVED) {
		if (message->FindRef("refs", &ref) == B_OK)
			LoadFile(ref);
		return;
	}
	BMessage settings;
	GetPref(&settings);
	fFiles.Save(*message, settings);
}


void MVRestoreView::_ShowPathList()
{
	BMessage options;
	(void)fSettings.FindMessage("restore", &options);
	bool shown = options.GetInt32("divert", fSettings.GetInt32("divert", 0)) != 0;
	if (shown)
		fPathList->Show();
	else
		fPathList->Hide();
	BRect frame = fCatalogue->Frame();
	float bottom = Bounds().Height() - 44 - (shown ? kPathListHeight : 0);
	fCatalogue->ResizeTo(frame.Width(), bottom - frame.top);
}


void MVRestoreView::_Redirect(bool clear)
{
	fCatalogue->RedirectSelected(clear ? "" : fRedirectTo->Text());
}


std::vector<std::string> MVRestoreView::_ProtectedBackups() const
{
	std::vector<std::string> marked = fCatalogue->MarkedBackups();
	BMessage ask(kMsgPasswordCheck);
	for (const std::string& name : marked)
		ask.AddString("name", name.c_str());
	BMessage answer;
	std::vector<std::string> protectedOnes;
	if (marked.empty() || BackupApplication::Get()->PostServer(&ask, &answer) != B_OK)
		return protectedOnes;
	const char* name;
	for (int32 element = 0; answer.FindString("name", element, &name) == B_OK; element++) {
		if (answer.GetInt32("protected", element, 0) != 0)
			protectedOnes.push_back(name);
	}
	return protectedOnes;
}


std::string MVRestoreView::_MarkedTitles() const
{
	std::vector<std::string> titles;
	for (const std::string& name : fCatalogue->MarkedBackups())
		titles.push_back(fCatalogue->TitleOf(name));
	return Joined(titles);
}


void MVRestoreView::_MarksChanged()
{
	if (fStartWindow != nullptr && fStartWindow->Lock()) {
		fStartWindow->SetBackups(_ProtectedBackups());
		fStartWindow->Unlock();
	}
	if (fDeleteWindow != nullptr) {
		BMessage names(kMsgDeleteRequestNames);
		names.AddString("names", _MarkedTitles().c_str());
		(void)fDeleteWindow->PostMessage(&names);
	}
}


void MVRestoreView::_Start()
{
	if (!fCatalogue->HasMarks()) {
		(new BAlert(kAlertTitle, GuiText(kTextNothingToRestore), GuiText(kTextOk), nullptr,
			nullptr, B_WIDTH_AS_USUAL, B_WARNING_ALERT))->Go();
		return;
	}
	if (fStartWindow != nullptr) {
		fStartWindow->Activate();
		return;
	}
	BMessage startInfo;
	(void)fSettings.FindMessage("start_info", &startInfo);
	BRect frame = Window()->Frame();
	fStartWindow = new MVRestoreStartWin(BPoint(frame.left + 60, frame.top + 60),
		GuiText(kTextStartRestore), startInfo, _ProtectedBackups(), kMsgStartReply,
		BMessenger(this));
	fStartWindow->Show();
}


void MVRestoreView::_StartClosed(BMessage* message)
{
	fStartWindow = nullptr;
	BMessage startInfo;
	if (!message->GetBool("result", false) || message->FindMessage("settings", &startInfo) != B_OK)
		return;
	(void)fSettings.SetMessage("start_info", &startInfo);
	BMessage settings;
	GetPref(&settings);
	BMessage job;
	BuildJob(settings, &job);
	(void)be_app->PostMessage(&job);
}


void MVRestoreView::BuildJob(const BMessage& settings, BMessage* job)
{
	*job = settings;
	job->what = kMsgJobAdd;
	(void)job->SetInt32("job_type", kJobRestore);
	if (!job->HasData("scheduler", B_MESSAGE_TYPE)) {
		BMessage scheduler;
		scheduler.AddTime("TIME", int32(real_time_clock()));
		job->AddMessage("scheduler", &scheduler);
	}
}


void MVRestoreView::_OpenSettings()
{
	if (fSettingsWindow != nullptr) {
		fSettingsWindow->Activate();
		return;
	}
	BMessage options;
	(void)fSettings.FindMessage("restore", &options);
	(void)options.SetInt32("divert", fSettings.GetInt32("divert", 0));
	BRect frame = Window()->Frame();
	fSettingsWindow = new MVRestoreSettingsWindow(BPoint(frame.left + 60, frame.top + 60),
		options, BMessenger(this));
	fSettingsWindow->Show();
}


void MVRestoreView::_SettingsClosed(BMessage* message)
{
	fSettingsWindow = nullptr;
	BMessage options;
	if (!message->GetBool("result", false) || message->FindMessage("settings", &options) != B_OK)
		return;
	(void)fSettings.SetInt32("divert", options.GetInt32("divert", 0));
	options.RemoveName("divert");
	(void)fSettings.SetMessage("restore", &options);
	_ShowPathList();
}


void MVRestoreView::_OpenScheduler()
{
	if (fSchedulerWindow != nullptr) {
		fSchedulerWindow->Activate();
		return;
	}
	BMessage schedule;
	(void)fSettings.FindMessage("scheduler", &schedule);
	fSchedulerWindow = MVSchedulerWindow::OpenBeside(Window()->Frame(), schedule,
		kMsgSchedulerReply, BMessenger(this));
}


void MVRestoreView::_SchedulerClosed(BMessage* message)
{
	fSchedulerWindow = nullptr;
	BMessage schedule;
	if (message->GetBool("result", false) && message->FindMessage("settings", &schedule) == B_OK)
		(void)fSettings.SetMessage("scheduler", &schedule);
}


void MVRestoreView::_Delete()
{
	if (fCatalogue->MarkedBackups().empty()) {
		(new BAlert(kAlertTitle, GuiText(kTextNoBackupToDelete), GuiText(kTextOk), nullptr,
			nullptr, B_WIDTH_AS_USUAL, B_WARNING_ALERT))->Go();
		return;
	}
	if (fDeleteWindow != nullptr) {
		fDeleteWindow->Activate();
		return;
	}
	BMessage options;
	(void)fSettings.FindMessage("res_delete", &options);
	DeleteChoice data;
	data.name = "chk_deletedata";
	data.label = GuiText(kTextDeleteBackupData);
	data.key = "deletedata";
	BRect frame = Window()->Frame();
	fDeleteWindow = new MVDeleteRequestWindow(BPoint(frame.left + 60, frame.top + 60),
		GuiText(kTextDelete), GuiText(kTextReallyDeleteBackups), _MarkedTitles(), options,
		kMsgDeleteReply, BMessenger(this), data);
	fDeleteWindow->Show();
}


void MVRestoreView::_DeleteClosed(BMessage* message)
{
	fDeleteWindow = nullptr;
	BMessage options;
	if (!message->GetBool("result", false) || message->FindMessage("settings", &options) != B_OK)
		return;
	(void)fSettings.SetMessage("res_delete", &options);
	std::vector<std::string> backups = fCatalogue->MarkedBackups();
	if (backups.empty())
		return;
	BMessage remove(kMsgDeleteBackups);
	for (const std::string& name : backups)
		remove.AddString("name", name.c_str());
	remove.AddInt32("full", options.GetInt32("deletedata", 0));
	BMessage done;
	(void)BackupApplication::Get()->PostServer(&remove, &done);
	fCatalogue->Reload();
}
