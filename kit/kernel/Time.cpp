// Clocks, sleeping and the team id.

#include <kernel/OS.h>

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <mutex>

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

namespace {

// The process id, asked once per process: messaging asks for it with every
// message. A child of fork() asks afresh.
std::atomic<team_id> sTeam{0};

void ForgetTeam()
{
	sTeam.store(0, std::memory_order_relaxed);
}

}	// namespace

team_id current_team()
{
	team_id team = sTeam.load(std::memory_order_relaxed);
	if (team == 0) {
		static std::once_flag registered;
		std::call_once(registered, [] { pthread_atfork(nullptr, nullptr, ForgetTeam); });
		team = team_id(getpid());
		sTeam.store(team, std::memory_order_relaxed);
	}
	return team;
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
