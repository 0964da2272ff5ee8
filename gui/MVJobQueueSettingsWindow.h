#pragma once

// MVJobQueueSettingsWindow: which jobs the job queue lists, by kind and by
// state. Replies 'JQsq' with "result" and "settings", the job queue's
// settings with "typefilter" and "statusfilter" (bit n: kind or state n+1).

#include <app/Message.h>
#include <app/Messenger.h>

#include "MVDialogWindow.h"

constexpr uint32 kMsgJobQueueSettingsReply = 'JQsq';

class MVJobQueueSettingsWindow : public MVDialogWindow {
public:
	MVJobQueueSettingsWindow(BPoint where, const BMessage& settings, BMessenger target);

	void MessageReceived(BMessage* message) override;

	static constexpr int32 kAllTypes = 0x3f;
	static constexpr int32 kAllStates = 0x0f;
	// Whether a job of that kind and state is listed; a kind or state no
	// filter bit stands for always is.
	static bool Lists(const BMessage& settings, int32 type, int32 status);

private:
	// The bits of the ticked boxes of a group.
	int32 _TickedBits(const char* prefix, int32 count);
};
