#pragma once

// How killed threads end (internal to the kit).
//
// kill_thread() and exit_thread() do not stop a thread from outside: they
// mark it and request its stop token, and the thread ends itself at its next
// interruptible wait by throwing ThreadExitRequest, which only the entry
// function of spawn_thread() catches. Destructors run on the way out, so
// locks are released and memory freed.
//
// Every blocking wait of the kit must be interruptible: it waits on a
// std::condition_variable_any with the calling thread's stop token, which
// wakes it at once whatever condition and lock it uses. WaitInterruptible()
// below does that; loopers, semaphores and locks build their waits on it.
//
// Rules for code that may run in a killed thread:
// - A catch (...) that swallows ThreadExitRequest only postpones the end:
//   the next interruptible wait throws again.
// - While the stack is already unwinding (a destructor that waits), a second
//   exception would terminate the process, so the waits return
//   B_INTERRUPTED there instead.
// - A wait in a noexcept function outside unwinding (an ordinary destructor
//   call) terminates the process when the thread has been killed: do not
//   block in destructors of objects that killed threads destroy.
// Threads the kit did not spawn (the main thread, std::threads) cannot be
// killed, so their waits only return B_OK or B_TIMED_OUT.

#include <chrono>
#include <condition_variable>
#include <stop_token>

#include <kernel/OS.h>

namespace MorvaneKit {

// Thrown to unwind a killed thread. Deliberately not a std::exception, so
// that handlers for errors do not take it for one.
struct ThreadExitRequest {};

// True once the calling thread has been killed or has called exit_thread().
bool IsThreadKilled();
// Stopped when the calling thread is to end.
std::stop_token ThreadStopToken();
// B_OK when the calling thread may go on; otherwise ends it by throwing
// ThreadExitRequest, or returns B_INTERRUPTED where it cannot unwind.
status_t EndThreadIfKilled();

// Deadlines at or beyond this are never reached (the clock would need
// centuries); waits until them do not time out.
constexpr bigtime_t kLongestDeadline = INT64_MAX / 1000 / 2;

// The system_time() deadline that lies timeout microseconds from now;
// B_INFINITE_TIMEOUT when that is out of range.
bigtime_t DeadlineAfter(bigtime_t timeout);

// Waits, with lock held on entry and on return, until predicate() holds
// (B_OK), the deadline on the system_time() clock passes (B_TIMED_OUT), or
// the calling thread is killed (the thread ends; B_INTERRUPTED where it
// cannot unwind). A killed thread ends at the call even when the predicate
// already holds. Whoever makes the predicate true notifies the condition
// with the lock held or after changing the state under it.
template <typename Lock, typename Predicate>
[[nodiscard]] status_t WaitInterruptible(std::condition_variable_any& condition,
	Lock& lock, bigtime_t deadline, Predicate predicate)
{
	status_t status = EndThreadIfKilled();
	if (status != B_OK)
		return status;

	std::stop_token stopToken = ThreadStopToken();
	bool satisfied;
	if (deadline >= kLongestDeadline) {
		satisfied = condition.wait(lock, stopToken, predicate);
	} else {
		// steady_clock is CLOCK_MONOTONIC, the clock of system_time().
		std::chrono::steady_clock::time_point until{std::chrono::microseconds(deadline)};
		satisfied = condition.wait_until(lock, stopToken, until, predicate);
	}
	if (satisfied)
		return B_OK;
	if (!stopToken.stop_requested())
		return B_TIMED_OUT;
	status = EndThreadIfKilled();
	return status != B_OK ? status : B_INTERRUPTED;
}

} // namespace MorvaneKit
