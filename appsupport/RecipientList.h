#pragma once

// RecipientList: the messengers a looper sends the same messages to, such as
// a job's subscribers or a report's viewers. A recipient in this process is
// sent to at once (its port takes every message); one in another process
// through an outbox of its own, so that the sender never waits for it. A
// recipient that is gone or stalled is dropped at the next send to it.
//
// Threads: the owner's thread only.

#include <memory>
#include <vector>

#include <app/Message.h>
#include <app/Messenger.h>

class MessageOutbox;

class RecipientList {
public:
	RecipientList();
	~RecipientList();
	RecipientList(RecipientList&&) noexcept;
	RecipientList& operator=(RecipientList&&) noexcept;

	// False when it is listed already or is not a valid messenger.
	bool Add(const BMessenger& recipient);
	bool Remove(const BMessenger& recipient);
	bool Contains(const BMessenger& recipient) const;
	int32 Count() const;

	// Sends to every recipient, in the order they were added.
	void Send(const BMessage& message);
	// Sends several messages so, each recipient getting them in order; one
	// in another process gets them from its outbox's thread.
	void Send(const std::vector<std::shared_ptr<const BMessage>>& messages);
	// Sends to one recipient, after whatever it was sent before when it is
	// listed; false when it cannot be reached.
	bool SendTo(const BMessenger& recipient, const BMessage& message,
		const BMessenger& replyTo = BMessenger());

private:
	struct Recipient;

	static bool _Send(Recipient& recipient, const BMessage& message,
		const BMessenger& replyTo, std::shared_ptr<const BMessage>* shared);
	static bool _SendAll(Recipient& recipient,
		const std::vector<std::shared_ptr<const BMessage>>& messages);
	int32 _IndexOf(const BMessenger& recipient) const;

	std::vector<Recipient> fRecipients;
};
