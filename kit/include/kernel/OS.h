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
[[nodiscard]] status_t wait_for_thread(thread_id thread, status_t* exitValue);
// B_BAD_THREAD_ID for unknown or ended threads; see above.
[[nodiscard]] status_t kill_thread(thread_id thread);
// Ends the calling thread with that exit value, unwinding its stack. Must not
// be called from a destructor while the stack unwinds. A thread the kit did
// not spawn ends through pthread_exit() and leaves no exit value.
[[noreturn]] void exit_thread(status_t exitValue);
// The thread of that name (B_NAME_NOT_FOUND when none), or the calling thread
// when name is null.
thread_id find_thread(const char* name);
[[nodiscard]] status_t rename_thread(thread_id thread, const char* name);

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
// it cannot (in a destructor while its stack already unwinds), when the
// caller is ending anyway: callers that only wait may drop the result.
[[nodiscard]] status_t snooze(bigtime_t microseconds);
// Sleeps until system_time() reaches time; B_BAD_VALUE for another time base.
[[nodiscard]] status_t snooze_until(bigtime_t time, int timeBase);
constexpr int B_SYSTEM_TIMEBASE = 0;

// Microseconds of a monotonic clock.
bigtime_t system_time();
// Seconds since 1970.
uint32 real_time_clock();

team_id current_team();

// Areas: named blocks of shared memory that other processes of the same user
// map by their area id.
//
// An area is a POSIX shared memory object of the calling user, created with
// mode 0600; its id is a random positive number that no live area of the
// user has, so that ids can travel in messages to other processes.
// create_area() reserves all of an area's memory at once: when the system
// has too little, it fails with B_NO_MEMORY rather than letting the first
// touch of a page crash the process later. Memory reads zero at first.
//
// clone_area() maps an area another process (or this one) created by its id
// into this process; the clone gets an id of its own, which names it in this
// process only (other processes clone the creator's id). delete_area() unmaps
// an area; when its creator deletes it, or when the creator ends by exit()
// or by returning from main(), the id can no longer be cloned, while clones
// made before keep the memory until they are deleted themselves. The areas
// of a process that is killed stay behind until the machine restarts. Ids
// name areas for as long as they exist; a deleted area's id is unlikely, but
// not certain, never to name another one later.
//
// Errors: B_BAD_VALUE for invalid arguments (a null name or address, a size
// of 0, unknown flags, an id below 1), B_NO_MEMORY when the memory or the
// address room is missing, B_ENTRY_NOT_FOUND for ids that name no area,
// B_PERMISSION_DENIED for shared memory that belongs to another user, and
// B_BAD_VALUE for shared memory under an area's name that is no area (one
// whose size is no whole number of pages). Other system errors keep their
// errno. A forked child inherits the areas of its parent as clones.
//
// All functions may be called from any thread. Deleting an area while
// another thread of the process still uses its memory is the caller's bug.

constexpr size_t B_PAGE_SIZE = 4096;

// Where an area is placed: anywhere, or exactly at *address, which must be
// aligned to the system's page size (B_NO_MEMORY when the range is in use).
enum : uint32 {
	B_ANY_ADDRESS = 0,
	B_EXACT_ADDRESS = 1,
};

// How an area's memory is held. The kit reserves the memory of every area
// when it is created, so the locks only show in get_area_info() (clones
// show B_NO_LOCK).
enum : uint32 {
	B_NO_LOCK = 0,
	B_LAZY_LOCK = 1,
	B_FULL_LOCK = 2,
};

// Protection flags. Write access lets the process read as well on most
// machines; get_area_info() shows the flags as they were asked for.
enum : uint32 {
	B_READ_AREA = 0x1,
	B_WRITE_AREA = 0x2,
};

struct area_info {
	area_id area;
	char name[B_OS_NAME_LENGTH];
	size_t size;
	uint32 lock;
	uint32 protection;
	team_id team;
	void* address;
};

// A new area of size bytes rounded up to whole pages, mapped at the address
// placed in *startAddress (an input too with B_EXACT_ADDRESS). The name is
// kept up to B_OS_NAME_LENGTH - 1 bytes, cut at a character boundary.
// B_NO_MEMORY beyond 1 TiB as well.
[[nodiscard]] area_id create_area(const char* name, void** startAddress, uint32 addressSpec,
	size_t size, uint32 lock, uint32 protection);
// Maps the area source into this process with the given protection; the
// new area's address is placed in *destAddress. B_ENTRY_NOT_FOUND when the
// source no longer exists.
[[nodiscard]] area_id clone_area(const char* name, void** destAddress, uint32 addressSpec,
	uint32 protection, area_id source);
// Unmaps an area of this process; see above for what happens to its id.
[[nodiscard]] status_t delete_area(area_id area);
// The id of an area of this process with that name (one of them when several
// share it), or B_NAME_NOT_FOUND. A longer name is cut as create_area() cuts it.
[[nodiscard]] area_id find_area(const char* name);
// Describes an area of this process.
[[nodiscard]] status_t get_area_info(area_id area, area_info* info);
