#pragma once

// MessageRecorder: a running looper that records every message sent to it,
// standing in for a client application or a job worker in tests that run a
// server inside the test process. Waiting senders are answered as
// RecordingHandler answers them. The looper runs from construction until
// Quit() or the destructor; the inbox stays readable until the destructor.
//
// Any thread may use it.

#include <app/Messenger.h>

#include "MessageInbox.h"

class MessageRecorder {
public:
	explicit MessageRecorder(const char* name = "message recorder");
	~MessageRecorder();
	MessageRecorder(const MessageRecorder&) = delete;
	MessageRecorder& operator=(const MessageRecorder&) = delete;

	BMessenger Messenger() const { return fMessenger; }
	MessageInbox& Inbox() { return fInbox; }

	// Quits the looper now: its messenger turns invalid.
	void Quit();

private:
	class Looper;

	MessageInbox fInbox;
	Looper* fLooper;
	BMessenger fMessenger;
};
