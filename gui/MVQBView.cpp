#include "MVQBView.h"

#include <cstdio>

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/FilePanel.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>
#include <interface/StringView.h>
#include <interface/Window.h>
#include <storage/Path.h>
#include <storage/VolumeTable.h>

#include "BackupApplication.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "JobSettingsFile.h"
#include "JobType.h"
#include "MVBackupStartWin.h"
#include "MVSchedulerWindow.h"
#include "MVVolumeSelectionView.h"
#include "ServerProtocol.h"

namespace {

constexpr uint32 kCmdDestinationChosen = 'news';
constexpr uint32 kCmdDestinationSettings = 'dset';
constexpr uint32 kCmdPackerChosen = 'crnw';
constexpr uint32 kCmdPackerSettings = 'pset';
constexpr uint32 kCmdStart = 'sbak';
constexpr uint32 kCmdScheduler = 'schd';
constexpr uint32 kMsgSchedulerClosed = 'schq';


constexpr const char* kDefaultDestination = "MVImage";
constexpr const char* kAlertTitle = "QuickBackup";

const char* KeyOfAddOn(AddOnShelf::Kind kind)
{
	return kind == AddOnShelf::kDestination ? "addon" : "bak_addonpacker";
}


const char* KeyOfSettings(AddOnShelf::Kind kind)
{
	return kind == AddOnShelf::kDestination ? "volume" : "bak_packer";
}


std::string BootVolumeName()
{
	VolumeTable::Volume boot;
	if (VolumeTable::GetVolume(VolumeTable::BootDevice(), &boot) != B_OK)
		return "boot";
	return boot.name;
}

}	// namespace


MVQBView::MVQBView(BRect frame)
	:
	MVToolView(frame, "MV_QUICKBACKUP")
{
	std::string native;
	(void)VolumeTable::ToNative(BackupApplication::Get()->FolderBeside("Backup_Server").c_str(),
		&native);
	fShelf = std::make_unique<AddOnShelf>(native);

	float width = frame.Width();
	float height = frame.Height();
	AddChild(new BStringView(BRect(10, 8, 200, 24), nullptr, GuiText(kTextVolume)));
	fVolumes = new MVVolumeSelectionView(BRect(10, 28, 220, height - 10));
	AddChild(fVolumes);

	float left = 236;
	AddChild(new BStringView(BRect(left, 8, width - 10, 24), "str_destination",
		GuiText(kTextDestination)));
	auto* destinations = new BPopUpMenu("-");
	_BuildMenu(destinations, AddOnShelf::kDestination, kCmdDestinationChosen);
	fDestinationField = new BMenuField(BRect(left, 28, width - 110, 52), "mnu_destination",
		nullptr, destinations, B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	AddChild(fDestinationField);
	AddChild(new BButton(BRect(width - 100, 28, width - 10, 52), "btn_destination",
		GuiText(kTextSettings), new BMessage(kCmdDestinationSettings),
		B_FOLLOW_RIGHT | B_FOLLOW_TOP));

	AddChild(new BStringView(BRect(left, 66, width - 10, 82), "str_packer",
		GuiText(kTextCompression)));
	auto* packers = new BPopUpMenu("-");
	_BuildMenu(packers, AddOnShelf::kCompressor, kCmdPackerChosen);
	fPackerField = new BMenuField(BRect(left, 86, width - 110, 110), "mnu_packer", nullptr,
		packers, B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	AddChild(fPackerField);
	AddChild(new BButton(BRect(width - 100, 86, width - 10, 110), "btn_packer",
		GuiText(kTextSettings), new BMessage(kCmdPackerSettings), B_FOLLOW_RIGHT | B_FOLLOW_TOP));

	AddChild(new BButton(BRect(width - 260, height - 40, width - 140, height - 12),
		"btn_scheduler", GuiText(kTextScheduler), new BMessage(kCmdScheduler),
		B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
	AddChild(new BButton(BRect(width - 130, height - 40, width - 10, height - 12), "btn_start",
		GuiText(kTextStart), new BMessage(kCmdStart), B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
}


MVQBView::~MVQBView()
{
	delete fPanel;
	for (BWindow* window : {fStartWindow, fSchedulerWindow}) {
		if (window != nullptr && window->Lock())
			window->Quit();
	}
}


void MVQBView::AttachedToWindow()
{
	// The menus and buttons talk to the view, not to the window.
	AimButtonsHere();
	(void)fDestinationField->Menu()->SetTargetForItems(this);
	(void)fPackerField->Menu()->SetTargetForItems(this);
}


void MVQBView::_BuildMenu(BPopUpMenu* menu, AddOnShelf::Kind kind, uint32 command)
{
	for (const AddOnShelf::Entry& entry : fShelf->List(kind)) {
		auto* message = new BMessage(command);
		message->AddString("menuname", entry.menuName.c_str());
		message->AddString("filename", entry.fileName.c_str());
		menu->AddItem(new BMenuItem(entry.menuName.c_str(), message));
	}
}


void MVQBView::MessageReceived(BMessage* message)
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
			_OpenScheduler();
			break;
		case kMsgSchedulerClosed:
			_SchedulerClosed(message);
			break;
		case kMsgStartWindowReply:
			_StartWindowClosed(message);
			break;
		case kCmdSelectAll:
		case kCmdClearSelection:
			fVolumes->SelectAll(message->what == kCmdSelectAll);
			break;
		case kCmdLoadSelection:
		case kCmdSaveSelection:
			_OpenFilePanel(message->what == kCmdSaveSelection);
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


void MVQBView::_ChooseAddOn(AddOnShelf::Kind kind, BMessage* message)
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


void MVQBView::_OpenSettings(AddOnShelf::Kind kind)
{
	const char* fallback = kind == AddOnShelf::kDestination ? kDefaultDestination : "MVNone";
	std::string file = fSettings.GetString(KeyOfAddOn(kind), "");
	if (file.empty())
		file = fallback;
	BMessage settings;
	(void)fSettings.FindMessage(KeyOfSettings(kind), &settings);
	(void)fShelf->OpenSettings(kind, file.c_str(), settings, Window(), this);
}


void MVQBView::_MarkChosen()
{
	struct Field {
		BMenuField* field;
		AddOnShelf::Kind kind;
		const char* fallback;
	};
	for (const Field& field : {Field{fDestinationField, AddOnShelf::kDestination,
			kDefaultDestination}, Field{fPackerField, AddOnShelf::kCompressor, "MVNone"}}) {
		std::string chosen = fSettings.GetString(KeyOfAddOn(field.kind), "");
		if (chosen.empty())
			chosen = field.fallback;
		BMenu* menu = field.field->Menu();
		for (int32 index = 0; index < menu->CountItems(); index++) {
			BMenuItem* item = menu->ItemAt(index);
			item->SetMarked(chosen == item->Message()->GetString("filename", ""));
		}
	}
}


void MVQBView::GetPref(BMessage* settings) const
{
	*settings = fSettings;
	BMessage selection;
	(void)fSettings.FindMessage("selection", &selection);
	fVolumes->GetSelection(&selection);
	(void)settings->SetMessage("selection", &selection);
}


void MVQBView::SetPref(const BMessage& settings)
{
	fSettings = settings;
	BMessage selection;
	(void)fSettings.FindMessage("selection", &selection);
	fVolumes->SetSelection(selection);
	_MarkChosen();
}


void MVQBView::LoadFile(const entry_ref& ref)
{
	BMessage settings;
	status_t status = JobSettingsFile::Read(ref.path.c_str(), JobSettingsFile::kBackupMagic,
		&settings);
	if (status != B_OK) {
		std::string text = "'" + ref.path + "' is no backup job settings file that can be read.";
		(new BAlert(kAlertTitle, text.c_str(), GuiText(kTextContinue)))->Go();
		return;
	}
	SetPref(settings);
}


void MVQBView::_Start()
{
	if (fVolumes->CountTicked() == 0) {
		(new BAlert(kAlertTitle, GuiText(kTextNothingSelected), GuiText(kTextOk), nullptr,
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
	frame.OffsetBy(60, 60);
	fStartWindow = new MVBackupStartWin(BRect(frame.left, frame.top, frame.left + 359,
		frame.top + 159), startInfo, BMessenger(this));
	fStartWindow->Show();
}


void MVQBView::_OpenScheduler()
{
	if (fSchedulerWindow != nullptr) {
		fSchedulerWindow->Activate();
		return;
	}
	BMessage schedule;
	(void)fSettings.FindMessage("scheduler", &schedule);
	BRect frame = Window()->Frame();
	frame.OffsetBy(50, 40);
	fSchedulerWindow = new MVSchedulerWindow(BRect(frame.left, frame.top, frame.left + 439,
		frame.top + 309), schedule, kMsgSchedulerClosed, BMessenger(this));
	fSchedulerWindow->Show();
}


void MVQBView::_SchedulerClosed(BMessage* message)
{
	fSchedulerWindow = nullptr;
	BMessage schedule;
	if (message->GetBool("result", false) && message->FindMessage("settings", &schedule) == B_OK)
		(void)fSettings.SetMessage("scheduler", &schedule);
}


void MVQBView::_StartWindowClosed(BMessage* message)
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


bool MVQBView::_AskOverwrite()
{
	BMessage volume;
	if (fSettings.FindMessage("volume", &volume) != B_OK || !volume.GetBool("MVVOLOVERWRITE", false))
		return true;
	char text[1024];
	snprintf(text, sizeof(text), GuiText(kTextOverwriteQuestion),
		volume.GetString("MVVOLNAME", ""));
	int32 answer = (new BAlert(kAlertTitle, text, GuiText(kTextYes), GuiText(kTextNo),
		GuiText(kTextCancel), B_WIDTH_AS_USUAL, B_WARNING_ALERT))->Go();
	if (answer == 2 || answer < 0)
		return false;
	if (answer == 1) {
		(void)volume.SetBool("MVVOLOVERWRITE", false);
		(void)fSettings.SetMessage("volume", &volume);
	}
	return true;
}


void MVQBView::BuildJob(const BMessage& settings, const char* bootVolume, BMessage* job)
{
	*job = settings;
	job->what = kMsgJobAdd;
	(void)job->SetInt32("job_type", kJobFullBackup);
	job->RemoveName("base_id");
	BMessage selection;
	(void)job->FindMessage("selection", &selection);
	std::string exclude = std::string("EXCLUDE /") + bootVolume + "/var/*";
	bool present = false;
	const char* line;
	for (int32 index = 0; selection.FindString("SELECTION", index, &line) == B_OK; index++)
		present = present || exclude == line;
	if (!present)
		selection.AddString("SELECTION", exclude.c_str());
	(void)job->SetMessage("selection", &selection);
	if (!job->HasData("addon", B_STRING_TYPE))
		job->AddString("addon", kDefaultDestination);
	if (!job->HasData("bak_addonpacker", B_STRING_TYPE))
		job->AddString("bak_addonpacker", "");
	if (!job->HasData("scheduler", B_MESSAGE_TYPE)) {
		BMessage scheduler;
		scheduler.AddTime("TIME", int32(real_time_clock()));
		job->AddMessage("scheduler", &scheduler);
	}
}


void MVQBView::_Submit()
{
	BMessage settings;
	GetPref(&settings);
	// Without a choice the job names the defaults with their settings.
	const AddOnShelf::Kind kinds[] = {AddOnShelf::kDestination, AddOnShelf::kCompressor};
	for (AddOnShelf::Kind kind : kinds) {
		if (settings.HasData(KeyOfSettings(kind), B_MESSAGE_TYPE))
			continue;
		BMessage defaults;
		const char* file = kind == AddOnShelf::kDestination ? kDefaultDestination : "MVNone";
		(void)fShelf->DefaultSettings(kind, settings.GetString(KeyOfAddOn(kind), file), &defaults);
		settings.AddMessage(KeyOfSettings(kind), &defaults);
	}
	BMessage job;
	BuildJob(settings, BootVolumeName().c_str(), &job);
	(void)be_app->PostMessage(&job);
}


void MVQBView::_OpenFilePanel(bool save)
{
	delete fPanel;
	BMessenger self(this);
	entry_ref folder(BackupApplication::Get()->FolderBeside("jobsettings"));
	fPanel = new BFilePanel(save ? B_SAVE_PANEL : B_OPEN_PANEL, &self, &folder, 0, false);
	fPanel->Show();
}


void MVQBView::_FileChosen(BMessage* message)
{
	entry_ref ref;
	if (message->what == B_REFS_RECEIVED) {
		if (message->FindRef("refs", &ref) == B_OK)
			LoadFile(ref);
		return;
	}
	const char* name = message->GetString("name", nullptr);
	if (message->FindRef("directory", &ref) != B_OK || name == nullptr)
		return;
	BMessage settings;
	GetPref(&settings);
	std::string path = ref.path + "/" + name;
	if (JobSettingsFile::Write(path.c_str(), JobSettingsFile::kBackupMagic, settings) != B_OK) {
		std::string text = "Can't save the job settings to '" + path + "'!";
		(new BAlert(kAlertTitle, text.c_str(), GuiText(kTextContinue)))->Go();
	}
}
