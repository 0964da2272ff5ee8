#pragma once

// A message queue that a looper (or a thread waiting for a reply) reads.
// Any thread may push; one thread pops. Ports are registered by id so that
// messengers can find them; a closed port refuses new messages and drops
// the queued ones. The queue grows as needed: a looper posting to itself
// must never block, so the capacity a looper asks for is not enforced.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <app/Message.h>

class BLooper;

namespace MorvaneKit {

class MessagePort {
public:
	MessagePort();
	~MessagePort();

	port_id Id() const { return fId; }

	// B_BAD_PORT_ID once the port is closed.
	status_t Push(std::unique_ptr<BMessage> message);
	// Queues the messages in order, waking the reader once.
	status_t PushAll(std::vector<std::unique_ptr<BMessage>> messages);
	// The next message; null with B_TIMED_OUT, or B_BAD_PORT_ID once closed.
	std::unique_ptr<BMessage> Pop(bigtime_t timeout, status_t* status);
	// Wakes a waiting Pop() without a message (it returns B_INTERRUPTED).
	void Wake();

	// Refuses further messages, wakes the reader and drops what is queued.
	void Close();
	bool IsClosed() const;

	int32 Count() const;
	int32 DropIf(const std::function<bool(const BMessage&)>& predicate);

	// Called after every message queued, on the pushing thread and outside
	// the port's lock: a looper driven by another event loop learns so that
	// it has work. Empty for none.
	void SetPushHook(std::function<void()> hook);

	// The looper reading this port, null for reply ports and once closed.
	BLooper* Owner() const;
	void SetOwner(BLooper* looper);
	thread_id OwnerThread() const;
	void SetOwnerThread(thread_id thread);

	static std::shared_ptr<MessagePort> Create();
	static std::shared_ptr<MessagePort> Find(port_id id);

private:
	static void _Unregister(port_id id);
	// Moves the messages into the queue; false, leaving them, once closed.
	bool _Enqueue(std::unique_ptr<BMessage>* messages, size_t count);

	mutable std::mutex fLock;
	std::condition_variable_any fCondition;
	std::deque<std::unique_ptr<BMessage>> fQueue;
	port_id fId = -1;
	BLooper* fOwner = nullptr;
	thread_id fOwnerThread = -1;
	bool fClosed = false;
	bool fWoken = false;
	std::function<void()> fPushHook;
};

}	// namespace MorvaneKit
