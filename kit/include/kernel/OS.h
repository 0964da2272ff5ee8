#pragma once

// Threads, time and the kernel services of the kit.
//
// Threads are kernel threads; a thread_id is the Linux thread id (gettid), so
// it names the thread in /proc as well. spawn_thread() creates a thread that
// waits until resume_thread() lets it run. kill_thread() cannot stop code
// that does not cooperate: it marks the thread and wakes it, and the thread
// ends at its next blocking kit call (snooze, receive_data, acquire_sem and
// the waits built on them), unwinding its stack on the way out. kill_thread()
// returns once the thread has ended, unless a thread kills itself.

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

[[nodiscard]] thread_id spawn_thread(thread_func function, const char* name,
	int32 priority, void* data);
[[nodiscard]] status_t resume_thread(thread_id thread);
// Waits for the thread to end and gives its exit value; a thread can be
// waited for once.
status_t wait_for_thread(thread_id thread, status_t* exitValue);
status_t kill_thread(thread_id thread);
// Ends the calling thread (which must have been spawned by spawn_thread).
[[noreturn]] void exit_thread(status_t exitValue);
// The thread of that name, or the calling thread when name is null.
thread_id find_thread(const char* name);
status_t rename_thread(thread_id thread, const char* name);

// One message to a thread: a code and up to 64 KiB of data. send_data()
// blocks while the receiver still holds an unread message.
[[nodiscard]] status_t send_data(thread_id thread, int32 code,
	const void* buffer, size_t bufferSize);
// Waits for the calling thread's message, copies at most bufferSize bytes of
// it and returns its code.
int32 receive_data(thread_id* sender, void* buffer, size_t bufferSize);
bool has_data(thread_id thread);

// Sleeps; returns B_OK, or B_INTERRUPTED when the thread is being killed.
status_t snooze(bigtime_t microseconds);
status_t snooze_until(bigtime_t time, int timeBase);
constexpr int B_SYSTEM_TIMEBASE = 0;

// Microseconds of a monotonic clock.
bigtime_t system_time();
// Seconds since 1970.
uint32 real_time_clock();

team_id current_team();
