#include "MVRestoreView.h"

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/FilePanel.h>
#include <interface/TextControl.h>
#include <interface/Window.h>

#include "BackupApplication.h"
#include "GuiTexts.h"
#include "JobRequest.h"
#include "JobSettingsFile.h"
#include "JobType.h"
#include "MVDeleteRequestWindow.h"
#include "MVInsertWindow.h"
#include "MVLogDataView.h"
#include "MVRestoreSettingsWindow.h"
#include "MVRestoreStartWin.h"
#include "ServerProtocol.h"
#include "Warning.h"

namespace {

constexpr uint32 kCmdStart = 'rsST';
constexpr uint32 kMsgStartReply = 'resq';
constexpr uint32 kCmdSettings = 'rsSE';
constexpr uint32 kCmdScheduler = 'rssc';
constexpr uint32 kCmdDelete = 'RSDE';
constexpr uint32 kMsgDeleteReply = 'rdcl';
constexpr uint32 kCmdInsert = 'rsIN';
constexpr uint32 kMsgInsertStartReply = 'ricl';
constexpr uint32 kCmdChooseFolder = 'rsCF';
constexpr uint32 kMsgFolderChosen = 'rsFC';
constexpr uint32 kCmdRedirect = 'rsRD';
constexpr uint32 kCmdClearRedirect = 'rsRC';
constexpr float kPathListHeight = 34;

const char* const kWidthKeys[] = {"RESNAMECOLWIDTH", "RESSIZECOLWIDTH", "RESDATECOLWIDTH",
	"RESREDIRECTCOLWIDTH", "RESMEDIACOLWIDTH", "RESOFFSETCOLWIDTH", "RESINDEXCOLWIDTH"};

const MVCatalogueToolView::Kind kRestore = {"MV_RESTORE", "Restore",
	JobSettingsFile::kRestoreMagic, kJobRestore, kTextNothingToRestore, kTextStartRestore,
	kCmdStart, kMsgStartReply, kCmdScheduler, kWidthKeys};


BRect CatalogueFrame(BRect frame)
{
	return BRect(8, 8, frame.Width() - 8, frame.Height() - 44 - kPathListHeight);
}


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
	MVCatalogueToolView(frame, kRestore, CatalogueFrame(frame))
{
	float width = frame.Width();
	float height = frame.Height();
	fPathList = new BView(BRect(8, height - 40 - kPathListHeight, width - 8, height - 44),
		"path_list", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW);
	float right = fPathList->Bounds().Width();
	fRedirectTo = new BTextControl(BRect(0, 4, right - 290, 28), "txt_redirect",
		GuiText(kTextRedirectTo), "", nullptr, B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	fPathList->AddChild(fRedirectTo);
	fPathList->AddChild(new BButton(BRect(right - 284, 2, right - 250, 28), "btn_choosefolder",
		"\u2026", new BMessage(kCmdChooseFolder), B_FOLLOW_RIGHT | B_FOLLOW_TOP));
	fPathList->AddChild(new BButton(BRect(right - 240, 2, right - 130, 28), "btn_redirect",
		GuiText(kTextRedirect), new BMessage(kCmdRedirect), B_FOLLOW_RIGHT | B_FOLLOW_TOP));
	fPathList->AddChild(new BButton(BRect(right - 120, 2, right, 28), "btn_clearredirect",
		GuiText(kTextClearRedirection), new BMessage(kCmdClearRedirect),
		B_FOLLOW_RIGHT | B_FOLLOW_TOP));
	AddChild(fPathList);
	AddButtons({{"btn_insert", GuiText(kTextInsert), kCmdInsert},
		{"btn_delete", GuiText(kTextDelete), kCmdDelete},
		{"btn_ressettings", GuiText(kTextSettings), kCmdSettings},
		{"btn_resscheduler", GuiText(kTextScheduler), kCmdScheduler},
		{"btn_resstart", GuiText(kTextStart), kCmdStart}});
	ShowOwnSettings();
}


MVRestoreView::~MVRestoreView()
{
	for (BWindow* window : {static_cast<BWindow*>(fDeleteWindow), fSettingsWindow,
			static_cast<BWindow*>(fInsertWindow), fInsertStartWindow}) {
		if (window != nullptr && window->Lock())
			window->Quit();
	}
}


void MVRestoreView::AttachedToWindow()
{
	MVCatalogueToolView::AttachedToWindow();
	for (const char* name : {"btn_choosefolder", "btn_redirect", "btn_clearredirect"})
		(void)static_cast<BButton*>(FindView(name))->SetTarget(this);
}


void MVRestoreView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdSettings:
			_OpenSettings();
			break;
		case kMsgRestoreSettingsReply:
			_SettingsClosed(message);
			break;
		case kCmdDelete:
			_Delete();
			break;
		case kMsgDeleteReply:
			_DeleteClosed(message);
			break;
		case kCmdInsert:
			_OpenInsert();
			break;
		case kMsgVolumeData:
			if (fInsertWindow != nullptr)
				(void)fInsertWindow->PostMessage(message);
			break;
		case kMsgInsertWindowReply:
			_InsertClosed(message);
			break;
		case kMsgInsertStartReply:
			_InsertStartClosed(message);
			break;
		case kCmdChooseFolder:
			_ChooseFolder();
			break;
		case kMsgFolderChosen:
			_FolderChosen(message);
			break;
		case kCmdRedirect:
		case kCmdClearRedirect:
			_Redirect(message->what == kCmdClearRedirect);
			break;
		default:
			MVCatalogueToolView::MessageReceived(message);
			break;
	}
}


void MVRestoreView::ShowOwnSettings()
{
	bool shown = fSettings.GetInt32("divert", 0) != 0;
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


std::string MVRestoreView::_MarkedTitles() const
{
	std::vector<std::string> titles;
	for (const std::string& name : fCatalogue->MarkedBackups())
		titles.push_back(fCatalogue->TitleOf(name));
	return Joined(titles);
}


void MVRestoreView::MarksChanged()
{
	if (fDeleteWindow != nullptr) {
		BMessage names(kMsgDeleteRequestNames);
		names.AddString("names", _MarkedTitles().c_str());
		(void)fDeleteWindow->PostMessage(&names);
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
	ShowOwnSettings();
}


void MVRestoreView::_Delete()
{
	if (fCatalogue->MarkedBackups().empty()) {
		WarnUser(kRestore.alertTitle, GuiText(kTextNoBackupToDelete));
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


void MVRestoreView::_OpenInsert()
{
	if (fInsertWindow != nullptr) {
		fInsertWindow->Activate();
		return;
	}
	BMessage options;
	(void)fSettings.FindMessage("res_insert", &options);
	BRect frame = Window()->Frame();
	fInsertWindow = new MVInsertWindow(BPoint(frame.left + 40, frame.top + 40), options,
		fCatalogue->BackupNames(), BMessenger(this));
	fInsertWindow->Show();
}


void MVRestoreView::_InsertClosed(BMessage* message)
{
	fInsertWindow = nullptr;
	BMessage options;
	if (!message->GetBool("result", false) || message->FindMessage("settings", &options) != B_OK)
		return;
	(void)fSettings.SetMessage("res_insert", &options);
	if (!options.HasData("ID", B_STRING_TYPE)) {
		WarnUser("Insert", GuiText(kTextNoBackupToInsert));
		return;
	}
	fInsertStartWindow = OpenStartWindow(kTextInsertStart, {}, kMsgInsertStartReply);
}


void MVRestoreView::_InsertStartClosed(BMessage* message)
{
	fInsertStartWindow = nullptr;
	BMessage job;
	if (!StartConfirmed(*message, &job))
		return;
	// Inserting starts now, whatever the restore's schedule says.
	job.RemoveName("scheduler");
	MakeJobRequest(&job, kJobInsert);
	// The insert job reads its destination and backup beside the rest.
	BMessage options;
	(void)fSettings.FindMessage("res_insert", &options);
	BMessage volume;
	(void)options.FindMessage("volume", &volume);
	(void)job.SetString("addon", options.GetString("addon", "MVImage"));
	(void)job.SetMessage("volume", &volume);
	(void)job.SetString("ID", options.GetString("ID", ""));
	(void)be_app->PostMessage(&job);
}


void MVRestoreView::_ChooseFolder()
{
	if (fFolderPanel == nullptr) {
		BMessenger self(this);
		fFolderPanel = std::make_unique<BFilePanel>(B_OPEN_PANEL, &self, nullptr,
			B_DIRECTORY_NODE, false, new BMessage(kMsgFolderChosen));
		fFolderPanel->SetTitle(GuiText(kTextRedirectTo));
	}
	fFolderPanel->Show();
}


void MVRestoreView::_FolderChosen(BMessage* message)
{
	entry_ref folder;
	if (message->FindRef("refs", &folder) == B_OK)
		fRedirectTo->SetText(folder.path.c_str());
}
