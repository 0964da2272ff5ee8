#pragma once

// The lock of a looper: recursive for its owning thread, with a time-out.

#include <condition_variable>
#include <mutex>

#include <kernel/OS.h>

namespace MorvaneKit {

class LooperLock {
public:
	status_t Lock(bigtime_t timeout);
	// Releases one level; false when the caller does not hold the lock.
	bool Unlock();
	// Releases every level the caller holds and returns how many.
	int32 UnlockAll();
	bool IsLockedByCaller() const;
	thread_id Owner() const;
	int32 Count() const;

private:
	mutable std::mutex fMutex;
	std::condition_variable_any fCondition;
	thread_id fOwner = -1;
	int32 fCount = 0;
};

}	// namespace MorvaneKit
