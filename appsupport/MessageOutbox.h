#pragma once

// MessageOutbox: the messages for one target, sent in order, so that whoever
// posts never waits for the target for long. While the target takes each
// message at once, the poster sends it itself; from the first one it does not
// take within kDirectTimeout on, a thread of the box sends them. A target
// that then takes no message for kStallTimeout, or lets more than
// kMaxQueuedBytes pile up, is stalled - a stopped or hung process: the box
// drops what it holds and refuses everything after, and its owner drops the
// target. A target that has ended is gone, likewise.
//
// A box that is destroyed still sends what it holds, on its own thread, and
// then ends; it never waits for the target. Threads: one thread posts at a
// time; any thread may ask the state.

#include <functional>
#include <memory>
#include <vector>

#include <app/Message.h>
#include <app/Messenger.h>

class MessageOutbox {
public:
	static constexpr size_t kMaxQueuedBytes = 16 << 20;
	static constexpr bigtime_t kStallTimeout = 5000000;
	static constexpr bigtime_t kDirectTimeout = 20000;

	// How a message goes out: by default the target's SendMessage with
	// the given time-out.
	using Sender = std::function<status_t(const BMessenger& target, const BMessage& message,
		const BMessenger& replyTo, bigtime_t timeout)>;

	explicit MessageOutbox(const BMessenger& target, Sender sender = {},
		size_t maxQueuedBytes = kMaxQueuedBytes, bigtime_t stallTimeout = kStallTimeout);
	~MessageOutbox();
	MessageOutbox(const MessageOutbox&) = delete;
	MessageOutbox& operator=(const MessageOutbox&) = delete;

	// Queues a copy; false, and the message dropped, once the target is
	// stalled or gone or the copy would pass the byte limit (which stalls it).
	bool Post(const BMessage& message, const BMessenger& replyTo = BMessenger());
	// Queues a message that several boxes may share, unchanged.
	bool Post(std::shared_ptr<const BMessage> message, const BMessenger& replyTo = BMessenger());
	// Queues several such messages in order. More than one at a time go to
	// the box's thread, and so does everything after them: the poster of a
	// batch would otherwise wait for the target message by message.
	bool Post(const std::vector<std::shared_ptr<const BMessage>>& messages);

	bool IsStalled() const;
	bool IsGone() const;
	// Stalled or gone: the owner should drop the target.
	bool IsDead() const { return IsStalled() || IsGone(); }
	const BMessenger& Target() const { return fTarget; }

	// Waits up to timeout until every queued message went out or the box
	// died; true when nothing is left.
	bool Flush(bigtime_t timeout);

	// Sends one message to a target as a box of its own does: the caller
	// waits kDirectTimeout at most, and a stalled target misses it.
	static void SendWithoutWaiting(const BMessenger& target, const BMessage& message);

private:
	struct State;

	bool _Post(const BMessage& message, std::shared_ptr<const BMessage> shared,
		const BMessenger& replyTo);
	void _StartQueueing();
	// Called with the state's lock held; size is the message's flattened size.
	bool _Queue(std::shared_ptr<const BMessage> message, const BMessenger& replyTo,
		size_t size);

	BMessenger fTarget;
	std::shared_ptr<State> fState;
	// The thread sends: the target once did not take a message at once.
	bool fQueueing = false;
};
