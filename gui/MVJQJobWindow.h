#pragma once

// MVJQJobWindow: edits a job of the queue: its title and schedule, and what
// its kind lets change, in the content between them and the buttons. It
// replies kMsgEditWindowReply with "result" and "settings", the job's
// record as edited (with its "job_id"). A window of this class itself shows
// what the job covers; subclasses add controls.

#include <string>

#include <app/Message.h>
#include <app/Messenger.h>

#include "MVDialogWindow.h"
#include "ScheduleEditor.h"

class BTextControl;

constexpr uint32 kMsgEditWindowReply = 'jqbq';
// To the window: the job left the queue meanwhile.
constexpr uint32 kMsgEditedJobGone = 'jqgn';

class MVJQJobWindow : public MVDialogWindow {
public:
	// mainView names the window's background; contentHeight is the room
	// its kind needs.
	MVJQJobWindow(BRect origin, const BMessage& record, BMessenger target, const char* mainView,
		float contentWidth, float contentHeight, bool ownScheduler = true);

	void MessageReceived(BMessage* message) override;

	// The area between the title and the buttons.
	BView* Content() const { return fContent; }
	// What a job of a kind without controls of its own covers.
	static std::string Summary(const BMessage& record);
	// Gives the job record a title, where the list and the job read it.
	static void SetJobTitle(BMessage* record, const char* title);

protected:
	// Before the window confirms: the kind's controls into the record.
	virtual void ReadContent(BMessage* record);

private:
	void _Confirm();

	BView* fContent;
	BTextControl* fTitle;
	ScheduleEditor fSchedule;
};
