#pragma once

// JobSettingsPanel: a tool's settings loaded from and saved to job-settings
// files of one magic through a file panel that opens in the "jobsettings"
// folder beside the program. A file that cannot be read or written is told
// to the user under the tool's alert title.

#include <memory>

#include <app/Message.h>
#include <storage/EntryRef.h>

class BFilePanel;
class BHandler;
class MVToolView;

class JobSettingsPanel {
public:
	JobSettingsPanel(const char* magic, const char* alertTitle);
	~JobSettingsPanel();

	// Shows the open or save panel; its choice goes to the target as
	// B_REFS_RECEIVED or B_SAVE_REQUESTED.
	void Show(bool save, BHandler* target);
	// The settings of a file; false (after telling the user) when it is no
	// file of this magic that can be read.
	bool Load(const entry_ref& ref, BMessage* settings) const;
	// Saves the settings where a B_SAVE_REQUESTED message says.
	void Save(const BMessage& request, const BMessage& settings) const;
	// The tool's file commands ('lsel', 'ssel') and the panel's answers:
	// a chosen file is loaded into the tool, its settings saved. False for
	// any other message.
	bool Handle(BMessage* message, MVToolView* tool);

private:
	const char* fMagic;
	const char* fAlertTitle;
	std::unique_ptr<BFilePanel> fPanel;
};
