#pragma once

// MVRestoreSettingsWindow: the "Restore Settings" window of the restore
// tool: the restore options and whether the redirection list is shown
// ("divert"). On close it sends kMsgRestoreSettingsReply with "result" and
// "settings", the options as edited.

#include <app/Message.h>
#include <app/Messenger.h>

#include "MVDialogWindow.h"

class BCheckBox;
class MVRestoreOptionsView;

constexpr uint32 kMsgRestoreSettingsReply = 'rssq';

class MVRestoreSettingsWindow : public MVDialogWindow {
public:
	MVRestoreSettingsWindow(BPoint where, const BMessage& options, BMessenger target);

	void MessageReceived(BMessage* message) override;

private:
	MVRestoreOptionsView* fOptions;
	BCheckBox* fDivert;
};
