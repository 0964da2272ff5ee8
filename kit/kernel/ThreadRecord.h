#pragma once

// The kit's bookkeeping of one thread.
//
// Records are shared: the registry holds one while the thread id is valid,
// the thread itself holds its own, and a thread blocked on another thread's
// condition holds that record so the condition outlives the wait. Every field
// except the stop source and the ending flag is guarded by the registry's
// lock (ThreadRegistry::Lock()).

#include <atomic>
#include <condition_variable>
#include <stop_token>
#include <string>
#include <vector>

#include <kernel/OS.h>

namespace MorvaneKit {

enum class ThreadOrigin {
	Spawned,	// created by spawn_thread(); the kit runs its entry and can end it
	Adopted		// the main thread or a std::thread, registered on its first kit call
};

enum class ThreadState {
	Suspended,	// spawned, waiting for resume_thread()
	Running,
	Ended		// its function returned or it was killed; the id may still be waited for
};

struct ThreadRecord {
	thread_id id = -1;
	ThreadOrigin origin = ThreadOrigin::Adopted;
	ThreadState state = ThreadState::Running;
	std::string name;

	thread_func function = nullptr;
	void* data = nullptr;
	int32 priority = B_NORMAL_PRIORITY;

	// Set once by kill_thread() or exit_thread(): from then on every
	// interruptible wait of the thread ends it with exitValue. Atomic because
	// the thread checks it from waits that hold other locks than the
	// registry's.
	std::atomic<bool> ending = false;
	status_t exitValue = B_OK;

	// The one message the thread may hold (send_data/receive_data).
	bool hasMessage = false;
	int32 messageCode = 0;
	thread_id messageSender = -1;
	std::vector<uint8> messageData;

	// Requested when the thread is to end; wakes whatever interruptible wait
	// it is in, whichever condition that wait uses.
	std::stop_source stopSource;
	// Notified on every change of state and mailbox; the waits on this thread
	// (its own and those of senders, waiters and killers) use it.
	std::condition_variable_any changed;
};

} // namespace MorvaneKit
