// Clocks, sleeping and the team id.

#include <kernel/OS.h>

#include <unistd.h>

#include <ctime>

#include "ThreadKill.h"
#include "ThreadRegistry.h"

using MorvaneKit::ThreadRecord;
using MorvaneKit::ThreadRegistry;

bigtime_t system_time()
{
	timespec now;
	clock_gettime(CLOCK_MONOTONIC, &now);
	return bigtime_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

uint32 real_time_clock()
{
	return uint32(time(nullptr));
}

team_id current_team()
{
	return team_id(getpid());
}

status_t snooze(bigtime_t microseconds)
{
	return snooze_until(MorvaneKit::DeadlineAfter(microseconds), B_SYSTEM_TIMEBASE);
}

status_t snooze_until(bigtime_t time, int timeBase)
{
	if (timeBase != B_SYSTEM_TIMEBASE)
		return B_BAD_VALUE;
	// The thread's own condition is the one a kill wakes; messages arriving
	// in the mailbox notify it too, which the wait sleeps through.
	const std::shared_ptr<ThreadRecord>& self = ThreadRegistry::Current();
	std::unique_lock lock(ThreadRegistry::Default().Lock());
	status_t status = MorvaneKit::WaitInterruptible(self->changed, lock, time,
		[] { return false; });
	return status == B_TIMED_OUT ? B_OK : status;
}
