#pragma once

// A BLooper is a thread with a message queue. Run() starts the thread, which
// takes messages in arrival order and, with the looper locked, dispatches
// each to its target handler. Messages posted to a looper are copied into
// its queue; the queue owns them.
//
// Lifetime: a running looper deletes itself when it quits. Quit() may be
// called from the looper's own thread (the looper ends after the current
// message) or from another thread that holds the lock (the call returns when
// the looper's thread has ended). A looper that never ran is deleted by
// Quit() at once. Messages still queued are dropped; a sender waiting for a
// reply to one of them gets B_NO_REPLY.

#include <atomic>
#include <memory>
#include <vector>

#include <app/Handler.h>
#include <app/Messenger.h>
#include <kernel/OS.h>

class BMessage;

namespace MorvaneKit {
class MessagePort;
class LooperLock;
class LooperAccess;
}

constexpr int32 B_LOOPER_PORT_DEFAULT_CAPACITY = 200;

class BLooper : public BHandler {
public:
	explicit BLooper(const char* name = nullptr, int32 priority = B_NORMAL_PRIORITY,
		int32 portCapacity = B_LOOPER_PORT_DEFAULT_CAPACITY);
	~BLooper() override;

	// Starts the looper's thread; its id, or an error.
	virtual thread_id Run();
	virtual void Quit();
	// Asked before a B_QUIT_REQUESTED message quits the looper.
	virtual bool QuitRequested();
	virtual void DispatchMessage(BMessage* message, BHandler* handler);

	// Queues a copy of the message for the handler (the preferred handler
	// when null). Replies go to replyTo, or the application.
	[[nodiscard]] status_t PostMessage(uint32 command);
	[[nodiscard]] status_t PostMessage(const BMessage* message);
	[[nodiscard]] status_t PostMessage(uint32 command, BHandler* handler, BHandler* replyTo = nullptr);
	[[nodiscard]] status_t PostMessage(const BMessage* message, BHandler* handler,
		BHandler* replyTo = nullptr);

	// The message being dispatched; valid only during dispatch.
	BMessage* CurrentMessage() const { return fCurrentMessage; }
	// Takes the current message away from the looper: the caller owns it
	// and may answer it later.
	BMessage* DetachCurrentMessage();

	// Drops every queued message (senders waiting for replies get
	// B_NO_REPLY) and returns how many were dropped. Workers use it to abort.
	int32 DropQueuedMessages();
	// Drops the queued messages with that code.
	int32 DropQueuedMessages(uint32 what);
	int32 CountQueuedMessages() const;

	void AddHandler(BHandler* handler);
	bool RemoveHandler(BHandler* handler);
	int32 CountHandlers() const { return int32(fHandlers.size()); }
	BHandler* HandlerAt(int32 index) const;
	int32 IndexOf(BHandler* handler) const;
	BHandler* PreferredHandler() const { return fPreferredHandler; }
	void SetPreferredHandler(BHandler* handler) { fPreferredHandler = handler; }

	bool Lock();
	[[nodiscard]] status_t LockWithTimeout(bigtime_t timeout);
	void Unlock();
	bool IsLocked() const;   // by the calling thread
	thread_id LockingThread() const;
	int32 CountLocks() const;

	thread_id Thread() const { return fThread; }
	bool IsRunning() const { return fThread >= 0; }
	port_id Port() const;
	team_id Team() const;

	// The looper the calling thread runs, or null.
	static BLooper* LooperForThread(thread_id thread);

protected:
	// Runs the message loop on the calling thread until the looper quits;
	// BApplication runs it on the main thread.
	void _Loop();
	// True once Quit() was called or a quit message arrived.
	bool _IsTerminating() const { return fTerminating; }
	void _MarkTerminating();
	void _SetThread(thread_id thread);

private:
	friend class BMessenger;
	friend class BHandler;
	friend class MorvaneKit::LooperAccess;

	[[nodiscard]] static status_t _ThreadEntry(void* looper);
	BHandler* _ResolveTarget(int32 handlerToken) const;
	void _DispatchOne(BMessage* message);
	// Dispatches what is queued now without waiting, for a looper that
	// another event loop drives; does nothing when called again from
	// inside one of its own dispatches (a nested event loop).
	void _DispatchPending();

	std::shared_ptr<MorvaneKit::MessagePort> fPort;
	std::unique_ptr<MorvaneKit::LooperLock> fLock;
	std::vector<BHandler*> fHandlers;
	BHandler* fPreferredHandler = nullptr;
	BMessage* fCurrentMessage = nullptr;
	thread_id fThread = -1;
	int32 fPriority;
	std::atomic<bool> fTerminating{false};
	bool fDispatching = false;
};
