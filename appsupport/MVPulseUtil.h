#pragma once

// MVPulseUtil gives a handler that is not the application a periodic tick:
// a helper thread "MVPulseTask" sends the handler's looper a message that
// holds only the chosen code, once per interval, for as long as the handler
// exists.
//
// The helper shares no data with the target; it reaches it through a
// messenger made in the constructor, on the caller's thread, where the
// handler is known to live. After each send the helper sleeps for the
// interval, so the period is the interval plus the send, and missed ticks
// are not caught up. When the handler or its looper is gone the helper ends
// on its own at its next tick, without sending. Destroying the object stops
// the ticks at once: the destructor returns when the helper has ended. Any
// thread may create and destroy the object; the target need not be locked.

#include <app/Handler.h>
#include <kernel/OS.h>

#include <atomic>

class MVPulseUtil {
public:
	// interval in microseconds. Without a helper thread (Thread() negative)
	// when the interval is not positive, when target is null or in no
	// looper, or when the thread cannot be started.
	MVPulseUtil(int32 interval, uint32 code, BHandler* target);
	virtual ~MVPulseUtil();
	MVPulseUtil(const MVPulseUtil&) = delete;
	MVPulseUtil& operator=(const MVPulseUtil&) = delete;

	// The helper thread, or the error that kept it from starting. Its exit
	// value is B_OK when it saw its target gone, or the send's error when
	// the target went away during a send.
	thread_id Thread() const { return fThread; }

private:
	[[nodiscard]] static status_t _PulseTask(void* ended);

	thread_id fThread = B_NO_INIT;
	// Set by the helper when it ends on its own; its id is then left alone,
	// as the kernel may give it to another thread later.
	std::atomic<bool> fHelperEnded{false};
};
