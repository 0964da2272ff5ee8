#pragma once

// The threads the kit knows, by thread id.
//
// One registry per process, never destroyed (threads still call into it
// while static objects are torn down at exit). Its lock guards the map and
// the records' fields; it is a leaf lock for every caller outside the kernel
// kit, and code holding it never calls out of the kit.
//
// Lifetime of an id: a spawned thread's record stays after the thread ended
// so that its exit value can be waited for; it goes when wait_for_thread()
// takes the exit value (threads already waiting get it too), or when kKeptEndedThreads later threads have ended
// without it being waited for (nobody waits that long in practice, and an
// unbounded list would grow in a server that starts a thread per job), or
// when the kernel hands its id to a new thread. An adopted thread's record
// goes when the thread exits.

#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "ThreadRecord.h"

namespace MorvaneKit {

class ThreadRegistry {
public:
	static constexpr size_t kKeptEndedThreads = 1024;

	static ThreadRegistry& Default();

	std::mutex& Lock() { return fLock; }

	// These expect the lock held.
	std::shared_ptr<ThreadRecord> Find(thread_id thread) const;
	// Adds a record; a stale record with the same id (the kernel reused the
	// id, so its thread is long gone) is dropped.
	void Insert(const std::shared_ptr<ThreadRecord>& record);
	// Drops the record if it is still the one registered under its id.
	void Remove(const std::shared_ptr<ThreadRecord>& record);
	// Notes a spawned thread's end and drops the oldest ended records that
	// nobody waited for beyond kKeptEndedThreads.
	void NoteEnded(const std::shared_ptr<ThreadRecord>& record);
	// The first thread that has not ended with that name, or
	// B_NAME_NOT_FOUND.
	thread_id FindByName(const char* name) const;

	// The calling thread's record, registering an adopted thread on its
	// first call. Takes the lock when it must register; never with it held.
	static const std::shared_ptr<ThreadRecord>& Current();
	// Makes a spawned thread's record the calling thread's.
	static void SetCurrent(const std::shared_ptr<ThreadRecord>& record);

private:
	ThreadRegistry();

	static void _PrepareFork();
	static void _ParentAfterFork();
	static void _ChildAfterFork();

	mutable std::mutex fLock;
	std::unordered_map<thread_id, std::shared_ptr<ThreadRecord>> fThreads;
	std::deque<std::weak_ptr<ThreadRecord>> fEnded;
};

} // namespace MorvaneKit
