#include "MVBackupToolView.h"

#include <cstdio>

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/FilePanel.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>
#include <interface/StringView.h>
#include <interface/Window.h>
#include <storage/VolumeTable.h>

#include "BackupApplication.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "JobRequest.h"
#include "JobSettingsFile.h"
#include "JobType.h"
#include "MVBackupStartWin.h"
#include "ServerProtocol.h"

namespace {

constexpr uint32 kCmdDestinationChosen = 'news';
constexpr uint32 kCmdDestinationSettings = 'dset';
constexpr uint32 kCmdPackerChosen = 'crnw';
constexpr uint32 kCmdPackerSettings = 'pset';
constexpr uint32 kCmdStart = 'sbak';
constexpr uint32 kCmdScheduler = 'schd';
constexpr uint32 kMsgSchedulerClosed = 'schq';


const char* KeyOfAddOn(AddOnShelf::Kind kind)
{
	return kind == AddOnShelf::kDestination ? "addon" : "bak_addonpacker";
}


const char* KeyOfSettings(AddOnShelf::Kind kind)
{
	return kind == AddOnShelf::kDestination ? "volume" : "bak_packer";
}


const char* DefaultAddOn(AddOnShelf::Kind kind)
{
	return kind == AddOnShelf::kDestination ? MVBackupToolView::kDefaultDestination
		: MVBackupToolView::kDefaultCompressor;
}


// The add-on the settings name, or the default one.
std::string ChosenAddOn(const BMessage& settings, AddOnShelf::Kind kind)
{
	std::string file = settings.GetString(KeyOfAddOn(kind), "");
	return file.empty() ? DefaultAddOn(kind) : file;
}

}	// namespace


MVBackupToolView::MVBackupToolView(BRect frame, const char* name, const char* alertTitle)
	:
	MVToolView(frame, name),
	fAlertTitle(alertTitle),
	fFiles(JobSettingsFile::kBackupMagic, alertTitle),
	fSchedule(kMsgSchedulerClosed)
{
	fShelf = std::make_unique<AddOnShelf>(AddOnShelf::ServerFolder());
}


MVBackupToolView::~MVBackupToolView()
{
	if (fStartWindow != nullptr && fStartWindow->Lock())
		fStartWindow->Quit();
}


float MVBackupToolView::AddAddOnControls(float left, float top, float right)
{
	struct Group {
		AddOnShelf::Kind kind;
		const char* label;
		const char* menu;
		const char* button;
		int32 text;
		uint32 chosen;
		uint32 settings;
		BMenuField** field;
	};
	const Group groups[] = {
		{AddOnShelf::kDestination, "str_destination", "mnu_destination", "btn_destination",
			kTextDestination, kCmdDestinationChosen, kCmdDestinationSettings,
			&fDestinationField},
		{AddOnShelf::kCompressor, "str_packer", "mnu_packer", "btn_packer", kTextCompression,
			kCmdPackerChosen, kCmdPackerSettings, &fPackerField},
	};
	for (const Group& group : groups) {
		AddChild(new BStringView(BRect(left, top, right, top + 16), group.label,
			GuiText(group.text), B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
		auto* menu = new BPopUpMenu("-");
		fShelf->FillMenu(menu, group.kind, group.chosen);
		*group.field = new BMenuField(BRect(left, top + 20, right - 100, top + 44), group.menu,
			nullptr, menu, B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
		AddChild(*group.field);
		AddChild(new BButton(BRect(right - 90, top + 20, right, top + 44), group.button,
			GuiText(kTextSettings), new BMessage(group.settings), B_FOLLOW_RIGHT | B_FOLLOW_TOP));
		top += 58;
	}
	return top;
}


void MVBackupToolView::AddStartButtons(bool withStart)
{
	float width = Bounds().Width();
	float height = Bounds().Height();
	AddChild(new BButton(BRect(width - 260, height - 40, width - 140, height - 12),
		"btn_scheduler", GuiText(kTextScheduler), new BMessage(kCmdScheduler),
		B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
	if (!withStart)
		return;
	AddChild(new BButton(BRect(width - 130, height - 40, width - 10, height - 12), "btn_start",
		GuiText(kTextStart), new BMessage(kCmdStart), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
}


void MVBackupToolView::AttachedToWindow()
{
	// The menus and buttons talk to the view, not to the window.
	AimButtonsHere();
	for (BMenuField* field : {fDestinationField, fPackerField}) {
		if (field != nullptr)
			(void)field->Menu()->SetTargetForItems(this);
	}
}


void MVBackupToolView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdDestinationChosen:
			_ChooseAddOn(AddOnShelf::kDestination, message);
			break;
		case kCmdPackerChosen:
			_ChooseAddOn(AddOnShelf::kCompressor, message);
			break;
		case kCmdDestinationSettings:
			_OpenSettings(AddOnShelf::kDestination);
			break;
		case kCmdPackerSettings:
			_OpenSettings(AddOnShelf::kCompressor);
			break;
		case kCmdStart:
			_Start();
			break;
		case kCmdScheduler:
			OpenScheduler();
			break;
		case kMsgSchedulerClosed:
			fSchedule.Closed(*message, &fSettings);
			break;
		case kMsgStartWindowReply:
			_StartWindowClosed(message);
			break;
		case kCmdSelectAll:
		case kCmdClearSelection:
			SelectAll(message->what == kCmdSelectAll);
			break;
		default:
			if (!fFiles.Handle(message, this))
				MVToolView::MessageReceived(message);
			break;
	}
}


void MVBackupToolView::_ChooseAddOn(AddOnShelf::Kind kind, BMessage* message)
{
	BMessage settings;
	if (message->FindMessage("settings", &settings) == B_OK) {
		// A settings window confirmed: its settings are the add-on's now.
		if (message->GetBool("result", false))
			(void)fSettings.SetMessage(KeyOfSettings(kind), &settings);
		return;
	}
	const char* file = message->GetString("filename", nullptr);
	if (file == nullptr || fShelf->DefaultSettings(kind, file, &settings) != B_OK)
		return;
	(void)fSettings.SetString(KeyOfAddOn(kind), file);
	(void)fSettings.SetMessage(KeyOfSettings(kind), &settings);
	_MarkChosen();
}


void MVBackupToolView::_OpenSettings(AddOnShelf::Kind kind)
{
	BMessage settings;
	(void)fSettings.FindMessage(KeyOfSettings(kind), &settings);
	(void)fShelf->OpenSettings(kind, ChosenAddOn(fSettings, kind).c_str(), settings, Window(),
		this);
}


void MVBackupToolView::_MarkChosen()
{
	for (BMenuField* field : {fDestinationField, fPackerField}) {
		if (field == nullptr)
			continue;
		auto kind = field == fDestinationField ? AddOnShelf::kDestination
			: AddOnShelf::kCompressor;
		std::string chosen = ChosenAddOn(fSettings, kind);
		BMenu* menu = field->Menu();
		for (int32 index = 0; index < menu->CountItems(); index++) {
			BMenuItem* item = menu->ItemAt(index);
			item->SetMarked(chosen == item->Message()->GetString("filename", ""));
		}
	}
}


void MVBackupToolView::ReadOwnSettings(BMessage*) const
{
}


void MVBackupToolView::ShowOwnSettings(const BMessage&)
{
}


void MVBackupToolView::GetPref(BMessage* settings) const
{
	*settings = fSettings;
	BMessage selection;
	(void)fSettings.FindMessage("selection", &selection);
	ReadSelection(&selection);
	(void)settings->SetMessage("selection", &selection);
	ReadOwnSettings(settings);
}


void MVBackupToolView::SetPref(const BMessage& settings)
{
	fSettings = settings;
	BMessage selection;
	(void)fSettings.FindMessage("selection", &selection);
	ShowSelection(selection);
	ShowOwnSettings(fSettings);
	_MarkChosen();
}


void MVBackupToolView::LoadFile(const entry_ref& ref)
{
	BMessage settings;
	if (fFiles.Load(ref, &settings))
		SetPref(settings);
}


void MVBackupToolView::_Start()
{
	if (!ReadyToStart())
		return;
	if (fStartWindow != nullptr) {
		fStartWindow->Activate();
		return;
	}
	BMessage startInfo;
	(void)fSettings.FindMessage("start_info", &startInfo);
	BRect frame = Window()->Frame();
	frame.OffsetBy(60, 60);
	fStartWindow = new MVBackupStartWin(BRect(frame.left, frame.top, frame.left + 359,
		frame.top + 159), startInfo, BMessenger(this));
	fStartWindow->Show();
}


void MVBackupToolView::OpenScheduler()
{
	fSchedule.Open(Window()->Frame(), fSettings, BMessenger(this));
}


void MVBackupToolView::_StartWindowClosed(BMessage* message)
{
	fStartWindow = nullptr;
	BMessage startInfo;
	if (!message->GetBool("result", false) || message->FindMessage("settings", &startInfo) != B_OK)
		return;
	(void)fSettings.SetMessage("start_info", &startInfo);
	if (!_AskOverwrite())
		return;
	_Submit();
}


bool MVBackupToolView::_AskOverwrite()
{
	BMessage volume;
	if (fSettings.FindMessage("volume", &volume) != B_OK || !volume.GetBool("MVVOLOVERWRITE", false))
		return true;
	char text[1024];
	snprintf(text, sizeof(text), GuiText(kTextOverwriteQuestion),
		volume.GetString("MVVOLNAME", ""));
	int32 answer = (new BAlert(fAlertTitle, text, GuiText(kTextYes), GuiText(kTextNo),
		GuiText(kTextCancel), B_WIDTH_AS_USUAL, B_WARNING_ALERT))->Go();
	if (answer == 2 || answer < 0)
		return false;
	if (answer == 1) {
		(void)volume.SetBool("MVVOLOVERWRITE", false);
		(void)fSettings.SetMessage("volume", &volume);
	}
	return true;
}


void MVBackupToolView::CompleteSettings(BMessage* settings) const
{
	GetPref(settings);
	// Without a choice the job names the defaults with their settings.
	for (AddOnShelf::Kind kind : {AddOnShelf::kDestination, AddOnShelf::kCompressor}) {
		if (settings->HasData(KeyOfSettings(kind), B_MESSAGE_TYPE))
			continue;
		BMessage defaults;
		(void)fShelf->DefaultSettings(kind, ChosenAddOn(*settings, kind).c_str(), &defaults);
		settings->AddMessage(KeyOfSettings(kind), &defaults);
	}
}


void MVBackupToolView::FinishJob(BMessage* job)
{
	MakeJobRequest(job, job->GetInt32("job_type", kJobFullBackup));
	if (!job->HasData("addon", B_STRING_TYPE))
		job->AddString("addon", kDefaultDestination);
	if (!job->HasData("bak_addonpacker", B_STRING_TYPE))
		job->AddString("bak_addonpacker", "");
}


void MVBackupToolView::_Submit()
{
	BMessage settings;
	CompleteSettings(&settings);
	BMessage job;
	MakeJob(settings, &job);
	(void)be_app->PostMessage(&job);
}
