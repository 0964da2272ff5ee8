#pragma once

// MVBackupToolView: what the quick backup and the backup tools share. The
// settings message, which is also the body of the job submitted; the
// destination and compressor menus with their settings windows; the
// scheduler and start windows, the overwrite question; job-settings files
// of the magic "MVBAKJOB". A tool adds how the user picks what to back up.

#include <memory>
#include <string>

#include <app/Message.h>

#include "AddOnShelf.h"
#include "JobSettingsPanel.h"
#include "ScheduleEditor.h"
#include "MVToolView.h"

class BMenuField;
class BPopUpMenu;

class MVBackupToolView : public MVToolView {
public:
	~MVBackupToolView() override;

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;
	void GetPref(BMessage* settings) const override;
	void SetPref(const BMessage& settings) override;
	void LoadFile(const entry_ref& ref) override;

	// The destination and compressor named when the user chose none.
	static constexpr const char* kDefaultDestination = "MVImage";
	static constexpr const char* kDefaultCompressor = "MVNone";

	// Makes the message a job request: names the default add-ons where it
	// names none, and starts now when it has no schedule.
	static void FinishJob(BMessage* job);

protected:
	MVBackupToolView(BRect frame, const char* name, const char* alertTitle);

	// The destination and compressor menus with their settings buttons,
	// from top down between left and right; returns the bottom.
	float AddAddOnControls(float left, float top, float right);
	// The "Scheduler" and (unless the tool edits a queued job) "Start"
	// buttons at the bottom right.
	void AddStartButtons(bool withStart = true);
	// The settings with the add-ons' settings filled in where the user chose
	// none: the body of a job.
	void CompleteSettings(BMessage* settings) const;
	// Opens the schedule in the scheduler window (once).
	void OpenScheduler();
	const char* AlertTitle() const { return fAlertTitle; }

	// What the tool's selection part says.
	virtual void ReadSelection(BMessage* selection) const = 0;
	virtual void ShowSelection(const BMessage& selection) = 0;
	virtual void SelectAll(bool select) = 0;
	// True when a job can go; false after telling the user why not.
	virtual bool ReadyToStart() = 0;
	// The job message out of the completed settings.
	virtual void MakeJob(const BMessage& settings, BMessage* job) const = 0;
	// Keeps the tool's own keys (mode, base job ...) in the settings.
	virtual void ReadOwnSettings(BMessage* settings) const;
	virtual void ShowOwnSettings(const BMessage& settings);

	BMessage fSettings;

private:
	void _ChooseAddOn(AddOnShelf::Kind kind, BMessage* message);
	void _OpenSettings(AddOnShelf::Kind kind);
	void _MarkChosen();
	void _Start();
	void _StartWindowClosed(BMessage* message);
	bool _AskOverwrite();
	void _Submit();

	const char* fAlertTitle;
	std::unique_ptr<AddOnShelf> fShelf;
	BMenuField* fDestinationField = nullptr;
	BMenuField* fPackerField = nullptr;
	BWindow* fStartWindow = nullptr;
	JobSettingsPanel fFiles;
	ScheduleEditor fSchedule;
};
