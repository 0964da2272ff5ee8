#pragma once

// Threads, time and the kernel services of the kit.
//
// Threads are kernel threads; a thread_id is the Linux thread id (gettid), so
// it names the thread in /proc as well. spawn_thread() creates a thread that
// waits until resume_thread() lets it run. Threads the kit did not spawn (the
// main thread, std::threads) are adopted on their first call: they have an
// id, a mailbox for send_data() and may snooze, but they cannot be waited for
// or killed (B_NOT_ALLOWED).
//
// kill_thread() cannot stop code that does not cooperate: it marks the thread
// and wakes it, and the thread ends at its next blocking kit call (snooze,
// receive_data, a blocked send_data, wait_for_thread, the looper's waits and
// the waits built on them), unwinding its stack on the way out so that
// destructors run. kill_thread() returns once the thread has ended, unless a
// thread kills itself, which ends right there. A killed thread's exit value
// is B_INTERRUPTED, unless its function returned by itself before reaching a
// blocking call.
//
// Ids of ended threads: a spawned thread's exit value is kept after it ends
// until wait_for_thread() takes it, or until the 1024 threads that end after
// it leave it behind; then the id is unknown (B_BAD_THREAD_ID) like any other.
// All functions may be called from any thread.

#include <climits>

#include <support/Errors.h>
#include <support/SupportDefs.h>

using thread_func = status_t (*)(void*);

constexpr bigtime_t B_INFINITE_TIMEOUT = INT64_MAX;

constexpr int32 B_OS_NAME_LENGTH = 32;

enum : int32 {
	B_IDLE_PRIORITY = 0,
	B_LOWEST_ACTIVE_PRIORITY = 1,
	B_LOW_PRIORITY = 5,
	B_NORMAL_PRIORITY = 10,
	B_DISPLAY_PRIORITY = 15,
	B_URGENT_DISPLAY_PRIORITY = 20,
	B_REAL_TIME_DISPLAY_PRIORITY = 100,
	B_URGENT_PRIORITY = 110,
	B_REAL_TIME_PRIORITY = 120,
};

// Flags of the timed waits.
enum : uint32 {
	B_RELATIVE_TIMEOUT = 0x8,
	B_ABSOLUTE_TIMEOUT = 0x10,
};

// A suspended thread running function(data), or B_BAD_VALUE (no function),
// B_NO_MORE_THREADS, B_NO_MEMORY. The system shows the first 15 bytes of the
// name; find_thread() knows all of it. Priorities below B_NORMAL_PRIORITY
// raise the thread's nice value (B_LOW_PRIORITY by 10, B_IDLE_PRIORITY by
// 19); higher ones run like B_NORMAL_PRIORITY, as raising a priority needs
// privileges.
[[nodiscard]] thread_id spawn_thread(thread_func function, const char* name,
	int32 priority, void* data);
// B_BAD_THREAD_ID for unknown or ended threads, B_BAD_THREAD_STATE when the
// thread runs already.
[[nodiscard]] status_t resume_thread(thread_id thread);
// Waits for the thread to end and gives its exit value (the function's
// return value, exit_thread()'s argument or B_INTERRUPTED after a kill); a
// suspended thread is resumed first. A thread can be waited for once
// (threads already waiting when it ends all get the value); after that, and
// for unknown ids, B_BAD_THREAD_ID. B_DONT_DO_THAT for the calling thread.
status_t wait_for_thread(thread_id thread, status_t* exitValue);
// B_BAD_THREAD_ID for unknown or ended threads; see above.
status_t kill_thread(thread_id thread);
// Ends the calling thread with that exit value, unwinding its stack. Must not
// be called from a destructor while the stack unwinds. A thread the kit did
// not spawn ends through pthread_exit() and leaves no exit value.
[[noreturn]] void exit_thread(status_t exitValue);
// The thread of that name (B_NAME_NOT_FOUND when none), or the calling thread
// when name is null.
thread_id find_thread(const char* name);
status_t rename_thread(thread_id thread, const char* name);

// One message to a thread: a code and up to B_MAX_THREAD_DATA_SIZE bytes of
// data (B_BAD_VALUE beyond). send_data() blocks while the receiver still
// holds an unread message; B_BAD_THREAD_ID when the receiver is unknown or
// ends meanwhile, B_WOULD_BLOCK when a thread sends to its own full mailbox.
constexpr size_t B_MAX_THREAD_DATA_SIZE = 64 * 1024;
[[nodiscard]] status_t send_data(thread_id thread, int32 code,
	const void* buffer, size_t bufferSize);
// Waits for the calling thread's message, copies at most bufferSize bytes of
// it (the rest is dropped) and returns its code.
int32 receive_data(thread_id* sender, void* buffer, size_t bufferSize);
bool has_data(thread_id thread);

// Sleeps; returns B_OK. A killed thread ends inside; B_INTERRUPTED only where
// it cannot (in a destructor while its stack already unwinds).
status_t snooze(bigtime_t microseconds);
// Sleeps until system_time() reaches time; B_BAD_VALUE for another time base.
status_t snooze_until(bigtime_t time, int timeBase);
constexpr int B_SYSTEM_TIMEBASE = 0;

// Microseconds of a monotonic clock.
bigtime_t system_time();
// Seconds since 1970.
uint32 real_time_clock();

team_id current_team();
