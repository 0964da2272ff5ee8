#include "LooperLock.h"

#include "KillableWait.h"

namespace MorvaneKit {

status_t LooperLock::Lock(bigtime_t timeout)
{
	thread_id self = find_thread(nullptr);
	std::unique_lock<std::mutex> guard(fMutex);
	if (fOwner == self) {
		fCount++;
		return B_OK;
	}
	status_t status = KillableWait(guard, fCondition, timeout, [this] { return fOwner < 0; });
	if (status != B_OK)
		return status;
	fOwner = self;
	fCount = 1;
	return B_OK;
}

bool LooperLock::Unlock()
{
	std::lock_guard<std::mutex> guard(fMutex);
	if (fOwner != find_thread(nullptr))
		return false;
	if (--fCount == 0) {
		fOwner = -1;
		fCondition.notify_one();
	}
	return true;
}

int32 LooperLock::UnlockAll()
{
	std::lock_guard<std::mutex> guard(fMutex);
	if (fOwner != find_thread(nullptr))
		return 0;
	int32 count = fCount;
	fCount = 0;
	fOwner = -1;
	fCondition.notify_one();
	return count;
}

bool LooperLock::IsLockedByCaller() const
{
	std::lock_guard<std::mutex> guard(fMutex);
	return fOwner == find_thread(nullptr);
}

thread_id LooperLock::Owner() const
{
	std::lock_guard<std::mutex> guard(fMutex);
	return fOwner;
}

int32 LooperLock::Count() const
{
	std::lock_guard<std::mutex> guard(fMutex);
	return fCount;
}

}	// namespace MorvaneKit
