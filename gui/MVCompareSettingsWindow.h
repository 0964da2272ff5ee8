#pragma once

// MVCompareSettingsWindow: the "Compare Settings" window: what a compare
// job compares, one check box per item. "Compare all" makes the single
// items wait (disabled, keeping their values). On close it sends 'cmpq'
// with "result" and "settings", every box's value under its key.

#include <app/Message.h>
#include <app/Messenger.h>

#include "MVDialogWindow.h"

constexpr uint32 kMsgCompareSettingsReply = 'cmpq';

class MVCompareSettingsWindow : public MVDialogWindow {
public:
	MVCompareSettingsWindow(BPoint where, const BMessage& items, BMessenger target);

	void MessageReceived(BMessage* message) override;

	// The keys of the items, "compareall" first; each box is named by its key.
	static constexpr int32 kItemCount = 10;
	static const char* const kItemKeys[kItemCount];

private:
	void _EnableSingleItems();
};
