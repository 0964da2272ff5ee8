// Killing threads: a killed thread ends at its next blocking kit call,
// unwinding its stack, and kill_thread() returns once it has ended.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <kernel/OS.h>
#include <kernel/ThreadKill.h>

#include "KernelTestSupport.h"

namespace {

// What a thread under test reports back.
struct Report {
	std::atomic<bool> blocking = false;	// about to enter the blocking call
	std::atomic<bool> destroyed = false;	// its guard object was destroyed
	std::atomic<bool> pastBlocking = false;	// the blocking call returned
	thread_id other = -1;
};

// Kills a thread once it is blocked and checks that it unwound and ended
// with B_INTERRUPTED.
void KillBlockedThread(thread_id thread, Report& report)
{
	ASSERT_TRUE(WaitForFlag(report.blocking));
	ASSERT_TRUE(WaitUntilBlocked(thread));
	ASSERT_EQ(kill_thread(thread), B_OK);
	EXPECT_TRUE(report.destroyed) << "kill_thread() returned before the thread unwound";
	EXPECT_FALSE(report.pastBlocking);
	EXPECT_EQ(kill_thread(thread), B_BAD_THREAD_ID);
	status_t exitValue = B_OK;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, B_INTERRUPTED);
}

} // namespace

// A thread blocked in snooze() or receive_data() ends at once, destructors
// report, and its exit value says it was interrupted.
TEST(ThreadKillTest, KillEndsBlockedThreads)
{
	Report snoozing;
	thread_id thread = StartThread(+[](void* data) -> status_t {
		Report* report = static_cast<Report*>(data);
		DestructionFlag flag(report->destroyed);
		report->blocking = true;
		(void)snooze(B_INFINITE_TIMEOUT);
		report->pastBlocking = true;
		return B_OK;
	}, &snoozing);
	KillBlockedThread(thread, snoozing);

	Report receiving;
	thread = StartThread(+[](void* data) -> status_t {
		Report* report = static_cast<Report*>(data);
		DestructionFlag flag(report->destroyed);
		report->blocking = true;
		receive_data(nullptr, nullptr, 0);
		report->pastBlocking = true;
		return B_OK;
	}, &receiving);
	KillBlockedThread(thread, receiving);

	// Blocked on another thread's full mailbox.
	Report sending;
	sending.other = find_thread(nullptr);
	ASSERT_EQ(send_data(sending.other, 1, nullptr, 0), B_OK);
	thread = StartThread(+[](void* data) -> status_t {
		Report* report = static_cast<Report*>(data);
		DestructionFlag flag(report->destroyed);
		report->blocking = true;
		status_t status = send_data(report->other, 2, nullptr, 0);
		report->pastBlocking = true;
		return status;
	}, &sending);
	KillBlockedThread(thread, sending);
	EXPECT_EQ(receive_data(nullptr, nullptr, 0), 1);
	EXPECT_FALSE(has_data(sending.other)) << "the killed sender's message arrived";

	// Blocked waiting for a thread that goes on living.
	Report waiting;
	waiting.other = StartThread(+[](void*) -> status_t {
		return receive_data(nullptr, nullptr, 0);
	}, nullptr);
	thread = StartThread(+[](void* data) -> status_t {
		Report* report = static_cast<Report*>(data);
		DestructionFlag flag(report->destroyed);
		report->blocking = true;
		(void)wait_for_thread(report->other, nullptr);
		report->pastBlocking = true;
		return B_OK;
	}, &waiting);
	KillBlockedThread(thread, waiting);
	ASSERT_EQ(send_data(waiting.other, 8, nullptr, 0), B_OK);
	status_t exitValue = B_OK;
	ASSERT_EQ(wait_for_thread(waiting.other, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 8);
}

// kill_thread() returns only once the thread has ended, even when unwinding
// takes time; a destructor that waits meanwhile is not held up.
TEST(ThreadKillTest, KillReturnsAfterTheThreadEnded)
{
	struct SlowReport {
		std::atomic<bool> blocking = false;
		std::atomic<bool> unwound = false;
		std::atomic<status_t> snoozeInDestructor = B_OK;
	} report;
	thread_id thread = StartThread(+[](void* data) -> status_t {
		struct SlowGuard {
			SlowReport* report;
			~SlowGuard()
			{
				// The thread cannot end a second time while unwinding.
				report->snoozeInDestructor = snooze(B_INFINITE_TIMEOUT);
				std::this_thread::sleep_for(std::chrono::milliseconds(50));
				report->unwound = true;
			}
		};
		SlowReport* report = static_cast<SlowReport*>(data);
		SlowGuard guard{report};
		report->blocking = true;
		return snooze(B_INFINITE_TIMEOUT);
	}, &report);
	ASSERT_TRUE(WaitForFlag(report.blocking));
	ASSERT_EQ(kill_thread(thread), B_OK);
	EXPECT_TRUE(report.unwound);
	EXPECT_EQ(report.snoozeInDestructor, B_INTERRUPTED);
	EXPECT_EQ(wait_for_thread(thread, nullptr), B_OK);
}

// A thread killed before it was resumed never runs its function.
TEST(ThreadKillTest, KillSuspendedThread)
{
	std::atomic<bool> ran = false;
	thread_id thread = spawn_thread(+[](void* data) -> status_t {
		*static_cast<std::atomic<bool>*>(data) = true;
		return B_OK;
	}, "killed early", B_NORMAL_PRIORITY, &ran);
	ASSERT_GT(thread, 0);
	ASSERT_EQ(kill_thread(thread), B_OK);
	status_t exitValue = B_OK;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, B_INTERRUPTED);
	EXPECT_FALSE(ran);
}

// A handler that swallows the unwinding only postpones the end to the next
// blocking call; a thread that kills itself ends right there.
TEST(ThreadKillTest, SwallowedKillAndSelfKill)
{
	struct SwallowReport {
		Report report;
		std::atomic<int> swallowed = 0;
	} swallow;
	thread_id thread = StartThread(+[](void* data) -> status_t {
		SwallowReport* swallow = static_cast<SwallowReport*>(data);
		DestructionFlag flag(swallow->report.destroyed);
		try {
			swallow->report.blocking = true;
			(void)snooze(B_INFINITE_TIMEOUT);
		} catch (...) {
			swallow->swallowed++;
		}
		(void)snooze(B_INFINITE_TIMEOUT);
		swallow->report.pastBlocking = true;
		return B_OK;
	}, &swallow);
	KillBlockedThread(thread, swallow.report);
	EXPECT_EQ(swallow.swallowed, 1);

	Report self;
	thread = StartThread(+[](void* data) -> status_t {
		Report* report = static_cast<Report*>(data);
		DestructionFlag flag(report->destroyed);
		(void)kill_thread(find_thread(nullptr));
		report->pastBlocking = true;
		return B_OK;
	}, &self);
	status_t exitValue = B_OK;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, B_INTERRUPTED);
	EXPECT_TRUE(self.destroyed);
	EXPECT_FALSE(self.pastBlocking);
}

// The wait other parts of the kit build on: it returns when the predicate
// holds or the deadline passes, and a kill wakes it whatever condition it
// waits on.
TEST(ThreadKillTest, WaitInterruptible)
{
	std::mutex mutex;
	std::condition_variable_any condition;
	std::unique_lock lock(mutex);
	bigtime_t start = system_time();
	EXPECT_EQ(MorvaneKit::WaitInterruptible(condition, lock, start + 2000, [] { return false; }),
		B_TIMED_OUT);
	EXPECT_GE(system_time() - start, 2000);
	EXPECT_FALSE(MorvaneKit::IsThreadKilled());
	EXPECT_EQ(MorvaneKit::DeadlineAfter(B_INFINITE_TIMEOUT), B_INFINITE_TIMEOUT);

	bool ready = false;
	std::thread notifier([&] {
		std::lock_guard notifierLock(mutex);
		ready = true;
		condition.notify_all();
	});
	EXPECT_EQ(MorvaneKit::WaitInterruptible(condition, lock, B_INFINITE_TIMEOUT,
		[&] { return ready; }), B_OK);
	lock.unlock();
	notifier.join();

	struct WaitReport {
		Report report;
		std::mutex mutex;
		std::condition_variable_any condition;
	} waiting;
	thread_id thread = StartThread(+[](void* data) -> status_t {
		WaitReport* waiting = static_cast<WaitReport*>(data);
		DestructionFlag flag(waiting->report.destroyed);
		std::unique_lock lock(waiting->mutex);
		waiting->report.blocking = true;
		status_t status = MorvaneKit::WaitInterruptible(waiting->condition, lock,
			B_INFINITE_TIMEOUT, [] { return false; });
		waiting->report.pastBlocking = true;
		return status;
	}, &waiting);
	KillBlockedThread(thread, waiting.report);
	// The killed thread let go of the lock while unwinding.
	EXPECT_TRUE(waiting.mutex.try_lock());
	waiting.mutex.unlock();
}
