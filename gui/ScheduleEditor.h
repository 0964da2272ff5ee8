#pragma once

// ScheduleEditor: the scheduler window of one owner (a tool or an edit
// window), opened at most once, editing the "scheduler" of the owner's
// settings. The owner passes the window's reply on to Closed().

#include <app/Message.h>
#include <app/Messenger.h>

class BWindow;

class ScheduleEditor {
public:
	explicit ScheduleEditor(uint32 replyCode) : fReplyCode(replyCode) {}
	~ScheduleEditor();
	ScheduleEditor(const ScheduleEditor&) = delete;
	ScheduleEditor& operator=(const ScheduleEditor&) = delete;

	uint32 ReplyCode() const { return fReplyCode; }
	// Shows the schedule of the settings beside the owner's frame, or
	// brings the open window to the front.
	void Open(BRect ownerFrame, const BMessage& settings, BMessenger owner);
	// The window's reply: a confirmed schedule becomes the settings'.
	void Closed(const BMessage& reply, BMessage* settings);

private:
	uint32 fReplyCode;
	BWindow* fWindow = nullptr;
};
