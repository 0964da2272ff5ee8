#include "MVBackupView.h"

#include <interface/Alert.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>
#include <interface/StringView.h>

#include "BackupApplication.h"
#include "GuiTexts.h"
#include "JobType.h"
#include "MVSourceSelectionView.h"
#include "ServerProtocol.h"
#include "Warning.h"

namespace {

constexpr uint32 kCmdModeChosen = 'bamd';
constexpr uint32 kCmdBaseChosen = 'babs';

struct Mode {
	int32 type;
	int32 text;
};

const Mode kModes[] = {
	{kJobFullBackup, kTextFullBackup},
	{kJobIncrementalBackup, kTextIncrementalBackup},
	{kJobDifferentialBackup, kTextDifferentialBackup},
};


bool FollowsABase(int32 type)
{
	return type == kJobIncrementalBackup || type == kJobDifferentialBackup;
}

}	// namespace


MVBackupView::MVBackupView(BRect frame, Use use)
	:
	MVBackupToolView(frame, use == kTool ? "MV_BACKUP" : "bak_job_setttings", "Backup"),
	fMode(kJobFullBackup)
{
	float width = frame.Width();
	float height = frame.Height();
	float column = width - 262;
	fSources = new MVSourceSelectionView(BRect(8, 8, column - 10, height - 8));
	AddChild(fSources);

	float right = width - 10;
	float top = AddAddOnControls(column, 8, right);

	auto* modes = new BPopUpMenu("-");
	for (const Mode& mode : kModes) {
		auto* message = new BMessage(kCmdModeChosen);
		message->AddInt32("job_type", mode.type);
		modes->AddItem(new BMenuItem(GuiText(mode.text), message));
	}
	AddChild(new BStringView(BRect(column, top, right, top + 16), "str_mode", "Backup mode",
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
	fModeField = new BMenuField(BRect(column, top + 20, right, top + 44), "mnu_mode", nullptr,
		modes, B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	AddChild(fModeField);
	top += 58;
	AddChild(new BStringView(BRect(column, top, right, top + 16), "str_base",
		"Follows the full backup job", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
	fBaseField = new BMenuField(BRect(column, top + 20, right, top + 44), "mnu_base", nullptr,
		new BPopUpMenu("-"), B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	AddChild(fBaseField);
	AddStartButtons(use == kTool);
	_ShowMode();
}


void MVBackupView::AttachedToWindow()
{
	MVBackupToolView::AttachedToWindow();
	(void)fModeField->Menu()->SetTargetForItems(this);
	_LoadJobs();
}


void MVBackupView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdModeChosen:
			fMode = message->GetInt32("job_type", kJobFullBackup);
			_ShowMode();
			break;
		case kCmdBaseChosen:
			fBase = message->GetInt32("base_id", 0);
			_BuildBaseMenu();
			break;
		case kMsgJobInserted:
		case kMsgJobChanged:
		case kMsgJobRemoved:
			_JobNotice(*message);
			break;
		default:
			MVBackupToolView::MessageReceived(message);
			break;
	}
}


void MVBackupView::_LoadJobs()
{
	BMessage request(kMsgJobList);
	BMessage index;
	if (BackupApplication::Get()->PostServer(&request, &index) != B_OK)
		return;
	fFullJobs.clear();
	int32 jobID;
	for (int32 slot = 0; index.FindInt32("job_id", slot, &jobID) == B_OK; slot++) {
		if (index.GetInt32("job_type", slot, 0) == kJobFullBackup && jobID != fEditedJob)
			fFullJobs[jobID] = index.GetString("title", slot, "");
	}
	_BuildBaseMenu();
}


void MVBackupView::_JobNotice(const BMessage& notice)
{
	int32 jobID = notice.GetInt32("job_id", 0);
	if (notice.what != kMsgJobRemoved && notice.GetInt32("job_type", 0) == kJobFullBackup
		&& jobID != fEditedJob) {
		fFullJobs[jobID] = notice.GetString("title", "");
	} else
		fFullJobs.erase(jobID);
	_BuildBaseMenu();
}


void MVBackupView::_BuildBaseMenu()
{
	// A base that left the queue, or is no full backup any more, is no
	// choice any more.
	if (fFullJobs.count(fBase) == 0)
		fBase = 0;
	BMenu* menu = fBaseField->Menu();
	(void)menu->RemoveItems(0, menu->CountItems(), true);
	for (const auto& [jobID, title] : fFullJobs) {
		auto* message = new BMessage(kCmdBaseChosen);
		message->AddInt32("base_id", jobID);
		std::string label = title.empty() ? GuiText(kTextNoTitle) : title;
		label += " (" + std::to_string(jobID) + ")";
		auto* item = new BMenuItem(label.c_str(), message);
		item->SetMarked(jobID == fBase);
		menu->AddItem(item);
	}
	(void)menu->SetTargetForItems(this);
}


void MVBackupView::_ShowMode()
{
	BMenu* modes = fModeField->Menu();
	for (int32 index = 0; index < modes->CountItems(); index++) {
		BMenuItem* item = modes->ItemAt(index);
		item->SetMarked(item->Message()->GetInt32("job_type", 0) == fMode);
	}
	fBaseField->Menu()->SetEnabled(FollowsABase(fMode));
}


void MVBackupView::ReadSelection(BMessage* selection) const
{
	fSources->GetSelection(selection);
}


void MVBackupView::ShowSelection(const BMessage& selection)
{
	fSources->SetSelection(selection);
}


void MVBackupView::SelectAll(bool select)
{
	fSources->SelectAll(select);
}


void MVBackupView::ReadOwnSettings(BMessage* settings) const
{
	(void)settings->SetInt32("job_type", fMode);
	if (FollowsABase(fMode) && fBase != 0)
		(void)settings->SetInt32("base_id", fBase);
	else
		settings->RemoveName("base_id");
}


void MVBackupView::ShowOwnSettings(const BMessage& settings)
{
	fMode = settings.GetInt32("job_type", kJobFullBackup);
	if (!FollowsABase(fMode))
		fMode = kJobFullBackup;
	fBase = settings.GetInt32("base_id", 0);
	_ShowMode();
	_BuildBaseMenu();
}


bool MVBackupView::ReadyToStart()
{
	const char* problem = nullptr;
	if (FollowsABase(fMode)) {
		if (fBase == 0)
			problem = "Please choose the full backup job that this backup follows!";
	} else if (!fSources->HasInclusion())
		problem = GuiText(kTextNothingSelected);
	if (problem == nullptr)
		return true;
	WarnUser(AlertTitle(), problem);
	return false;
}


void MVBackupView::MakeJob(const BMessage& settings, BMessage* job) const
{
	BuildJob(settings, job);
}


void MVBackupView::BuildJob(const BMessage& settings, BMessage* job)
{
	*job = settings;
	int32 type = job->GetInt32("job_type", kJobFullBackup);
	if (!FollowsABase(type)) {
		(void)job->SetInt32("job_type", kJobFullBackup);
		job->RemoveName("base_id");
	}
	FinishJob(job);
}
