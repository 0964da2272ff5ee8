#include "MVJobQueueView.h"

#include <ctime>
#include <string>

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/ColumnListView.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>

#include "BackupApplication.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "JobEditWindows.h"
#include "JobState.h"
#include "JobType.h"
#include "MVJQJobWindow.h"
#include "MVJobQueueSettingsWindow.h"
#include "ServerProtocol.h"

namespace {

constexpr uint32 kCmdStartJobs = 'JQsa';
constexpr uint32 kCmdPauseJobs = 'JQpa';
constexpr uint32 kCmdContinueJobs = 'JQco';
constexpr uint32 kCmdAbortJobs = 'jqab';
constexpr uint32 kCmdDeleteJobs = 'JQdl';
constexpr uint32 kCmdSelectionChanged = 'JQch';
constexpr uint32 kCmdTitleEdited = 'JQti';
constexpr uint32 kCmdEditJobs = 'JQed';
constexpr uint32 kCmdSettings = 'JQst';

enum Field : int32 {
	kFieldTitle = 0,
	kFieldStatus = 1,
	kFieldType = 2,
	kFieldDate = 3,
};

struct ColumnSpec {
	int32 title;
	float width;
};

const ColumnSpec kColumns[] = {
	{kTextTitle, 230},
	{kTextStatusColumn, 79},
	{kTextKind, 130},
	{kTextStartAt, 185},
};
const char* const kWidthKeys[] = {"JQTITLECOLWIDTH", "JQSTATUSCOLWIDTH", "JQTYPECOLWIDTH",
	"JQDATECOLWIDTH"};

struct ButtonSpec {
	const char* name;
	int32 text;
	uint32 command;
};

const ButtonSpec kButtons[] = {
	{"start", kTextStart, kCmdStartJobs},
	{"pause", kTextPause, kCmdPauseJobs},
	{"continue", kTextContinue, kCmdContinueJobs},
	{"abort", kTextAbort, kCmdAbortJobs},
	{"delete", kTextDelete, kCmdDeleteJobs},
	{"edit", kTextEdit, kCmdEditJobs},
};




bool IsWaiting(int32 status) { return status == kJobWaiting; }
bool IsWaitingOrRunning(int32 status) { return status == kJobWaiting || status == kJobRunning; }
bool IsPaused(int32 status) { return status == kJobPaused; }
bool IsRunningOrPaused(int32 status) { return status == kJobRunning || status == kJobPaused; }
bool IsNotEdited(int32 status) { return status != kJobEdit; }
bool IsEditable(int32 status) { return status != kJobRunning && status != kJobEdit; }

}	// namespace


const MVJobQueueView::Action* MVJobQueueView::_ActionFor(uint32 command)
{
	static const Action kActions[] = {
		{kCmdStartJobs, kMsgJobBegin, kTextReallyStartJobs, IsWaiting},
		{kCmdPauseJobs, kMsgJobPause, 0, IsWaitingOrRunning},
		{kCmdContinueJobs, kMsgJobContinue, 0, IsPaused},
		{kCmdAbortJobs, kMsgJobDelete, kTextReallyAbortJobs, IsRunningOrPaused},
		{kCmdDeleteJobs, kMsgJobDelete, kTextReallyDeleteJobs, IsNotEdited},
	};
	for (const Action& action : kActions) {
		if (action.command == command)
			return &action;
	}
	return nullptr;
}


MVJobQueueView::MVJobQueueView(BRect frame)
	:
	MVToolView(frame, "MV_JOBQUEUE")
{
	float width = frame.Width();
	float height = frame.Height();
	fList = new BColumnListView(BRect(8, 8, width - 8, height - 44), "job_list", B_FOLLOW_ALL);
	for (int32 index = 0; index < 4; index++) {
		fList->AddColumn(new BStringColumn(GuiText(kColumns[index].title), kColumns[index].width,
			30, 2000), index);
	}
	fList->SetSelectionMode(B_MULTIPLE_SELECTION_LIST);
	fList->SetSelectionMessage(new BMessage(kCmdSelectionChanged));
	fList->SetEditable(kFieldTitle, new BMessage(kCmdTitleEdited));
	auto* popup = new BPopUpMenu("jobqueuepopup", false, false);
	popup->AddItem(new BMenuItem(GuiText(kTextAll), new BMessage(kCmdSelectAll)));
	popup->AddItem(new BMenuItem(GuiText(kTextClear), new BMessage(kCmdClearSelection)));
	popup->AddSeparatorItem();
	for (const ButtonSpec& button : kButtons) {
		if (button.command != kCmdEditJobs)
			popup->AddItem(new BMenuItem(GuiText(button.text), new BMessage(button.command)));
	}
	fList->SetContextMenu(popup);
	AddChild(fList);
	float left = 8;
	for (const ButtonSpec& button : kButtons) {
		AddChild(new BButton(BRect(left, height - 36, left + 70, height - 10), button.name,
			GuiText(button.text), new BMessage(button.command), B_FOLLOW_LEFT | B_FOLLOW_BOTTOM));
		left += 76;
	}
	AddChild(new BButton(BRect(left, height - 36, left + 70, height - 10), "settings",
		GuiText(kTextSettings), new BMessage(kCmdSettings), B_FOLLOW_LEFT | B_FOLLOW_BOTTOM));
}


MVJobQueueView::~MVJobQueueView()
{
	// Jobs still open for editing go back to the queue unchanged.
	for (const auto& [jobID, window] : fEditWindows) {
		if (window->Lock())
			window->Quit();
		_Release(jobID);
	}
	if (fSettingsWindow != nullptr && fSettingsWindow->Lock())
		fSettingsWindow->Quit();
}


void MVJobQueueView::AttachedToWindow()
{
	AimButtonsHere();
	(void)fList->SetTarget(this);
	(void)fList->ContextMenu()->SetTargetForItems(this);
	_Reload();
}


const char* MVJobQueueView::StatusText(int32 status)
{
	switch (status) {
		case kJobWaiting:
			return GuiText(kTextWaiting);
		case kJobRunning:
			return GuiText(kTextRunning);
		case kJobPaused:
			return GuiText(kTextPause);
		case kJobEdit:
			return GuiText(kTextEdit);
		default:
			return GuiText(kTextUnknown);
	}
}


const char* MVJobQueueView::TypeText(int32 type)
{
	switch (type) {
		case kJobFullBackup:
			return GuiText(kTextFullBackup);
		case kJobIncrementalBackup:
			return GuiText(kTextIncrementalBackup);
		case kJobDifferentialBackup:
			return GuiText(kTextDifferentialBackup);
		case kJobRestore:
			return GuiText(kTextRestore);
		case kJobCompare:
			return GuiText(kTextCompare);
		case kJobInsert:
			return GuiText(kTextInsert);
		default:
			return GuiText(kTextUnknown);
	}
}


void MVJobQueueView::_Reload()
{
	BMessage request(kMsgJobList);
	BMessage index;
	if (BackupApplication::Get()->PostServer(&request, &index) != B_OK)
		return;
	fList->Clear();
	fRows.clear();
	fJobs.clear();
	int32 jobID;
	for (int32 slot = 0; index.FindInt32("job_id", slot, &jobID) == B_OK; slot++)
		_Insert(index, slot);
	_UpdateButtons();
}


void MVJobQueueView::_Insert(const BMessage& job, int32 index)
{
	int32 jobID = job.GetInt32("job_id", index, 0);
	if (jobID == 0 || fJobs.count(jobID) != 0)
		return;
	Job& entry = fJobs[jobID];
	entry.title = job.GetString("title", index, "");
	(void)job.FindTime("date", index, &entry.date);
	entry.type = job.GetInt32("job_type", index, 0);
	entry.status = job.GetInt32("jobstatus", index, 0);
	_Show(jobID);
}


void MVJobQueueView::_Change(const BMessage& job)
{
	auto found = fJobs.find(job.GetInt32("job_id", 0));
	if (found == fJobs.end())
		return;
	Job& entry = found->second;
	entry.title = job.GetString("title", "");
	(void)job.FindTime("date", &entry.date);
	entry.type = job.GetInt32("job_type", 0);
	entry.status = job.GetInt32("jobstatus", 0);
	_Show(found->first);
}


void MVJobQueueView::_Show(int32 jobID)
{
	const Job& job = fJobs[jobID];
	BRow* row = RowOf(jobID);
	if (!MVJobQueueSettingsWindow::Lists(fSettings, job.type, job.status)) {
		if (row != nullptr) {
			fRows.erase(jobID);
			fList->RemoveRow(row);
			delete row;
		}
		_UpdateButtons();
		return;
	}
	if (row == nullptr) {
		row = new BRow;
		for (int32 field = 0; field < 4; field++)
			row->SetField(new BStringField(""), field);
		fList->AddRow(row);
		fRows[jobID] = row;
	}
	static_cast<BStringField*>(row->GetField(kFieldTitle))->SetString(
		!job.title.empty() ? job.title.c_str() : GuiText(kTextNoTitle));
	static_cast<BStringField*>(row->GetField(kFieldStatus))->SetString(StatusText(job.status));
	static_cast<BStringField*>(row->GetField(kFieldType))->SetString(TypeText(job.type));
	static_cast<BStringField*>(row->GetField(kFieldDate))->SetString(DateText(job.date).c_str());
	fList->UpdateRow(row);
	_UpdateButtons();
}


void MVJobQueueView::_Remove(int32 jobID)
{
	fJobs.erase(jobID);
	if (BRow* row = RowOf(jobID)) {
		fRows.erase(jobID);
		fList->RemoveRow(row);
		delete row;
	}
	// An edit window of a job that left the queue cannot keep its changes.
	auto window = fEditWindows.find(jobID);
	if (window != fEditWindows.end())
		(void)window->second->PostMessage(kMsgEditedJobGone);
	_UpdateButtons();
}


BRow* MVJobQueueView::RowOf(int32 jobID) const
{
	auto found = fRows.find(jobID);
	return found != fRows.end() ? found->second : nullptr;
}


int32 MVJobQueueView::_JobOf(const BRow* row) const
{
	for (const auto& [jobID, candidate] : fRows) {
		if (candidate == row)
			return jobID;
	}
	return 0;
}


void MVJobQueueView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kMsgJobInserted:
			_Insert(*message, 0);
			break;
		case kMsgJobChanged:
			_Change(*message);
			break;
		case kMsgJobRemoved:
			_Remove(message->GetInt32("job_id", 0));
			break;
		case kMsgVolumeData:
		{
			auto window = fEditWindows.find(message->GetInt32("id", 0));
			if (window != fEditWindows.end())
				(void)window->second->PostMessage(message);
			break;
		}
		case kCmdSelectionChanged:
			_UpdateButtons();
			break;
		case kCmdTitleEdited:
			_Rename(message);
			break;
		case kCmdEditJobs:
			_Edit();
			break;
		case kMsgEditWindowReply:
			_EditClosed(message);
			break;
		case kCmdSettings:
			_OpenSettings();
			break;
		case kMsgJobQueueSettingsReply:
			_SettingsClosed(message);
			break;
		case kCmdSelectAll:
		case kCmdClearSelection:
			for (auto& [jobID, row] : fRows) {
				if (message->what == kCmdSelectAll)
					fList->AddToSelection(row);
			}
			if (message->what == kCmdClearSelection)
				fList->DeselectAll();
			_UpdateButtons();
			break;
		default:
			if (const Action* action = _ActionFor(message->what)) {
				_Act(*action);
				break;
			}
			MVToolView::MessageReceived(message);
			break;
	}
}


std::vector<int32> MVJobQueueView::_SelectedJobs(bool (*allowed)(int32 status)) const
{
	std::vector<int32> jobs;
	for (BRow* row = fList->CurrentSelection(); row != nullptr;
			row = fList->CurrentSelection(row)) {
		int32 jobID = _JobOf(row);
		auto found = fJobs.find(jobID);
		if (found != fJobs.end() && allowed(found->second.status))
			jobs.push_back(jobID);
	}
	return jobs;
}


void MVJobQueueView::_Act(const Action& action)
{
	std::vector<int32> jobs = _SelectedJobs(action.allowed);
	if (jobs.empty())
		return;
	if (action.question != 0) {
		int32 answer = (new BAlert("Job Queue", GuiText(action.question), GuiText(kTextNo),
			GuiText(kTextYes), nullptr, B_WIDTH_AS_USUAL, B_WARNING_ALERT))->Go();
		if (answer != 1)
			return;
	}
	for (int32 jobID : jobs) {
		BMessage request(action.request);
		request.AddInt32("job_id", jobID);
		if (action.command == kCmdAbortJobs)
			request.AddInt32("flag", 1);
		(void)BackupApplication::Get()->PostServer(&request);
	}
}


bool MVJobQueueView::_Take(int32 jobID, BMessage* record)
{
	BackupApplication* application = BackupApplication::Get();
	BMessage take(kMsgJobEdit);
	take.AddInt32("job_id", jobID);
	take.AddInt32("edit", 1);
	BMessage taken;
	if (application->PostServer(&take, &taken) != B_OK || !taken.GetBool("result", false))
		return false;
	BMessage get(kMsgJobGet);
	get.AddInt32("job_id", jobID);
	if (application->PostServer(&get, record) == B_OK && record->what != B_NO_REPLY)
		return true;
	_Release(jobID);
	return false;
}


void MVJobQueueView::_Release(int32 jobID)
{
	BMessage release(kMsgJobEdit);
	release.AddInt32("job_id", jobID);
	release.AddInt32("edit", 0);
	(void)BackupApplication::Get()->PostServer(&release);
}


void MVJobQueueView::_Replace(int32 jobID, const BMessage& record)
{
	BMessage set(kMsgJobSet);
	set.AddInt32("job_id", jobID);
	set.AddMessage("job_data", &record);
	(void)BackupApplication::Get()->PostServer(&set);
}


void MVJobQueueView::_Rename(BMessage* message)
{
	const BRow* row = nullptr;
	(void)message->FindPointer("row", (void**)&row);
	int32 jobID = _JobOf(row);
	const char* title = message->GetString("text", nullptr);
	if (jobID == 0 || title == nullptr)
		return;
	// The job is taken for editing, so that no other client changes it
	// meanwhile; a job the server will not give shows its old title again.
	BMessage record;
	if (!_Take(jobID, &record)) {
		_Show(jobID);
		return;
	}
	MVJQJobWindow::SetJobTitle(&record, title);
	_Replace(jobID, record);
	_Release(jobID);
}


void MVJobQueueView::_Edit()
{
	BPoint where = Window()->Frame().LeftTop();
	where.x += 40;
	where.y += 40;
	for (int32 jobID : _SelectedJobs(IsEditable)) {
		auto open = fEditWindows.find(jobID);
		if (open != fEditWindows.end()) {
			open->second->Activate();
			continue;
		}
		BMessage record;
		if (!_Take(jobID, &record)) {
			std::string text = "The job '" + fJobs[jobID].title + "' is running or being "
				"edited elsewhere; it cannot be edited now.";
			(new BAlert("Job Queue", text.c_str(), GuiText(kTextContinue)))->Go();
			continue;
		}
		MVJQJobWindow* window = CreateJobEditWindow(where, record, BMessenger(this));
		if (window == nullptr) {
			_Release(jobID);
			continue;
		}
		fEditWindows[jobID] = window;
		window->Show();
		where.x += 20;
		where.y += 20;
	}
}


void MVJobQueueView::_EditClosed(BMessage* message)
{
	BMessage record;
	if (message->FindMessage("settings", &record) != B_OK)
		return;
	int32 jobID = record.GetInt32("job_id", 0);
	fEditWindows.erase(jobID);
	if (message->GetBool("result", false) && fJobs.count(jobID) != 0)
		_Replace(jobID, record);
	_Release(jobID);
}


void MVJobQueueView::_OpenSettings()
{
	if (fSettingsWindow != nullptr) {
		fSettingsWindow->Activate();
		return;
	}
	BPoint where = Window()->Frame().LeftTop();
	fSettingsWindow = new MVJobQueueSettingsWindow(BPoint(where.x + 60, where.y + 60), fSettings,
		BMessenger(this));
	fSettingsWindow->Show();
}


void MVJobQueueView::_SettingsClosed(BMessage* message)
{
	fSettingsWindow = nullptr;
	BMessage settings;
	if (!message->GetBool("result", false) || message->FindMessage("settings", &settings) != B_OK)
		return;
	GetPref(&fSettings);
	for (const char* key : {"typefilter", "statusfilter"})
		(void)fSettings.SetInt32(key, settings.GetInt32(key, 0));
	for (const auto& [jobID, job] : fJobs)
		_Show(jobID);
}


void MVJobQueueView::_UpdateButtons()
{
	bool selected = fList->CurrentSelection() != nullptr;
	for (const ButtonSpec& button : kButtons)
		static_cast<BButton*>(FindView(button.name))->SetEnabled(selected);
}


void MVJobQueueView::GetPref(BMessage* settings) const
{
	*settings = fSettings;
	StoreColumnWidths(fList, kWidthKeys, settings);
}


void MVJobQueueView::SetPref(const BMessage& settings)
{
	fSettings = settings;
	RestoreColumnWidths(fList, kWidthKeys, settings);
	for (const auto& [jobID, job] : fJobs)
		_Show(jobID);
}


void MVJobQueueView::LoadFile(const entry_ref& ref)
{
}
