#pragma once

// RecordingHandler: a handler that keeps a copy of every message it gets in
// an inbox, its own or one given to it (which must outlive the handler). A
// sender that waits for a reply gets one with the code kRecordedReply,
// carrying the code it sent as int32 "what", so that a test can tell this
// handler's answer from any other.
//
// It belongs to at most one looper; it must be removed from it, or the
// looper be gone, before it is deleted.

#include <app/Handler.h>

#include "MessageInbox.h"

class RecordingHandler : public BHandler {
public:
	static constexpr uint32 kRecordedReply = 'RCVD';

	explicit RecordingHandler(const char* name = "recording handler",
		MessageInbox* inbox = nullptr);

	void MessageReceived(BMessage* message) override;

	MessageInbox& Inbox() { return *fInbox; }

private:
	MessageInbox fOwnInbox;
	MessageInbox* fInbox;
};
