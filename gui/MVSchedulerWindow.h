#pragma once

// MVSchedulerWindow: edits a job's schedule ("scheduler"): the first start
// (time and date), the repeat interval and the weekdays it must not run on.
// Under the fields it shows the next starts the schedule gives, computed as
// the server computes them, so that what the user reads is what will run.
// On close it sends its target the reply code with "result" and "settings"
// (the schedule).

#include <app/Message.h>
#include <app/Messenger.h>

#include "MVDialogWindow.h"

class BCheckBox;
class BStringView;
class BTextControl;

class MVSchedulerWindow : public MVDialogWindow {
public:
	MVSchedulerWindow(BRect frame, const BMessage& schedule, uint32 replyCode,
		BMessenger target);

	void MessageReceived(BMessage* message) override;

	// Shows a scheduler window of the schedule a little below and right of
	// the owner's frame.
	static MVSchedulerWindow* OpenBeside(BRect ownerFrame, const BMessage& schedule,
		uint32 replyCode, BMessenger target);

	// The schedule the fields give, or false with the text id of the alert
	// for the first field of a wrong form.
	bool Build(BMessage* schedule, int32* alertText) const;
	// Up to count starts of a schedule from its "TIME" on, as the server
	// starts them.
	static std::vector<int32> NextStarts(const BMessage& schedule, int32 count);

private:
	void _Show(const BMessage& schedule);
	bool _Check(const char* field);
	void _ShowNextStarts();
	void _Confirm();

	BTextControl* fTime;
	BTextControl* fDate;
	BTextControl* fRepeat[4];
	BCheckBox* fWeekdays[7];
	BStringView* fNextStarts;
};
