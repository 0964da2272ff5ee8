#pragma once

// The waits of the application kit (a looper's queue, its lock, a reply)
// with a relative time-out in microseconds. They wake at once when the
// waiting thread is killed, which then ends.

#include <condition_variable>
#include <mutex>

#include <kernel/OS.h>

#include "../kernel/ThreadKill.h"

namespace MorvaneKit {

// B_OK when the predicate holds, B_TIMED_OUT when the time ran out first,
// B_INTERRUPTED when the thread was killed and cannot unwind.
template<typename Predicate>
[[nodiscard]] status_t KillableWait(std::unique_lock<std::mutex>& lock,
	std::condition_variable_any& condition, bigtime_t timeout, Predicate predicate)
{
	bigtime_t deadline = timeout == B_INFINITE_TIMEOUT ? B_INFINITE_TIMEOUT
		: DeadlineAfter(timeout < 0 ? 0 : timeout);
	return WaitInterruptible(condition, lock, deadline, predicate);
}

}	// namespace MorvaneKit
