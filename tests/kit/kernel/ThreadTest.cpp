// Spawning, resuming, waiting for, naming and finding threads.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <kernel/OS.h>

#include "KernelTestSupport.h"

namespace {

// Blocks in receive_data() and returns the code it receives.
status_t ReturnReceivedCode(void*)
{
	thread_id sender;
	return receive_data(&sender, nullptr, 0);
}

status_t ReturnData(void* data)
{
	return status_t(reinterpret_cast<intptr_t>(data));
}

void* AsData(intptr_t value)
{
	return reinterpret_cast<void*>(value);
}

std::string KernelName(thread_id thread)
{
	std::ifstream comm("/proc/self/task/" + std::to_string(thread) + "/comm");
	std::string name;
	std::getline(comm, name);
	return name;
}

} // namespace

// A spawned thread waits for resume_thread(), runs once, and its return value
// reaches wait_for_thread(); its id is the kernel's id of the thread.
TEST(ThreadTest, SpawnResumeWaitGivesExitValue)
{
	struct Report {
		std::atomic<bool> ran = false;
		std::atomic<thread_id> kernelId = 0;
		std::atomic<thread_id> ownId = 0;
	} report;
	thread_id thread = spawn_thread(+[](void* data) -> status_t {
		Report* report = static_cast<Report*>(data);
		report->ran = true;
		report->kernelId = gettid();
		report->ownId = find_thread(nullptr);
		return ReturnReceivedCode(nullptr);
	}, "spawn test", B_NORMAL_PRIORITY, &report);
	ASSERT_GT(thread, 0);
	EXPECT_NE(thread, find_thread(nullptr));

	ASSERT_TRUE(WaitUntilBlocked(thread));
	EXPECT_FALSE(report.ran) << "the thread ran before it was resumed";
	ASSERT_EQ(resume_thread(thread), B_OK);
	ASSERT_TRUE(WaitForFlag(report.ran));
	EXPECT_EQ(resume_thread(thread), B_BAD_THREAD_STATE);

	ASSERT_EQ(send_data(thread, 1234, nullptr, 0), B_OK);
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 1234);
	EXPECT_EQ(report.kernelId, thread);
	EXPECT_EQ(report.ownId, thread);
}

// Every call that names a thread rejects ids that name none.
TEST(ThreadTest, UnknownIdsAndBadArguments)
{
	for (thread_id unknown : {thread_id(-1), thread_id(0), thread_id(INT32_MAX)}) {
		EXPECT_EQ(resume_thread(unknown), B_BAD_THREAD_ID);
		EXPECT_EQ(wait_for_thread(unknown, nullptr), B_BAD_THREAD_ID);
		EXPECT_EQ(kill_thread(unknown), B_BAD_THREAD_ID);
		EXPECT_EQ(rename_thread(unknown, "x"), B_BAD_THREAD_ID);
		EXPECT_EQ(send_data(unknown, 1, nullptr, 0), B_BAD_THREAD_ID);
		EXPECT_FALSE(has_data(unknown));
	}
	EXPECT_EQ(spawn_thread(nullptr, "no function", B_NORMAL_PRIORITY, nullptr), B_BAD_VALUE);
	EXPECT_EQ(find_thread("no thread has this name"), B_NAME_NOT_FOUND);
}

// A thread is waited for once; after that its id is gone. Nobody waits for
// itself.
TEST(ThreadTest, WaitTwiceAndWaitForOneself)
{
	thread_id thread = StartThread(ReturnData, AsData(7));
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 7);
	EXPECT_EQ(wait_for_thread(thread, &exitValue), B_BAD_THREAD_ID);
	EXPECT_EQ(resume_thread(thread), B_BAD_THREAD_ID);
	EXPECT_EQ(kill_thread(thread), B_BAD_THREAD_ID);

	EXPECT_EQ(wait_for_thread(find_thread(nullptr), nullptr), B_DONT_DO_THAT);
	thread = StartThread(+[](void*) -> status_t {
		return wait_for_thread(find_thread(nullptr), nullptr);
	}, nullptr);
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, B_DONT_DO_THAT);
}

// wait_for_thread() resumes a thread nobody resumed, as it would otherwise
// wait forever.
TEST(ThreadTest, WaitResumesSuspendedThread)
{
	thread_id thread = spawn_thread(ReturnData, "never resumed", B_LOW_PRIORITY, AsData(99));
	ASSERT_GT(thread, 0);
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 99);
}

// Threads waiting at the same time all get the exit value; later waits fail.
TEST(ThreadTest, ConcurrentWaitersAllGetTheExitValue)
{
	thread_id thread = StartThread(ReturnReceivedCode, nullptr);
	constexpr int kWaiters = 3;
	std::atomic<thread_id> waiterIds[kWaiters] = {};
	status_t results[kWaiters] = {};
	status_t exitValues[kWaiters] = {};
	std::vector<std::thread> waiters;
	for (int i = 0; i < kWaiters; i++) {
		waiters.emplace_back([&, i] {
			waiterIds[i] = find_thread(nullptr);
			results[i] = wait_for_thread(thread, &exitValues[i]);
		});
	}
	for (auto& id : waiterIds) {
		ASSERT_TRUE(WaitFor([&] { return id != 0; }));
		ASSERT_TRUE(WaitUntilBlocked(id));
	}
	ASSERT_EQ(send_data(thread, 55, nullptr, 0), B_OK);
	for (auto& waiter : waiters)
		waiter.join();
	for (int i = 0; i < kWaiters; i++) {
		EXPECT_EQ(results[i], B_OK);
		EXPECT_EQ(exitValues[i], 55);
	}
	EXPECT_EQ(wait_for_thread(thread, nullptr), B_BAD_THREAD_ID);
}

// exit_thread() ends the thread from deep inside, with destructors report and
// the value given.
TEST(ThreadTest, ExitThreadEndsWithItsValue)
{
	struct Report {
		std::atomic<bool> destroyed = false;
		std::atomic<bool> pastExit = false;
	} report;
	thread_id thread = StartThread(+[](void* data) -> status_t {
		Report* report = static_cast<Report*>(data);
		DestructionFlag flag(report->destroyed);
		[] { exit_thread(77); }();
		report->pastExit = true;
		return B_OK;
	}, &report);
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 77);
	EXPECT_TRUE(report.destroyed);
	EXPECT_FALSE(report.pastExit);
}

// find_thread() knows the full name, the system shows the first 15 bytes
// (never half a character), and rename_thread() changes both.
TEST(ThreadTest, FindThreadByNameAndRename)
{
	// "é" takes bytes 15 and 16, so the system's name stops before it.
	const char* longName = "kernel test 12\xc3\xa9 with a long name";
	thread_id thread = spawn_thread(ReturnReceivedCode, longName, B_NORMAL_PRIORITY, nullptr);
	ASSERT_GT(thread, 0);
	EXPECT_EQ(find_thread(longName), thread);
	EXPECT_EQ(find_thread("kernel test 12"), B_NAME_NOT_FOUND);
	EXPECT_EQ(KernelName(thread), "kernel test 12");

	ASSERT_EQ(rename_thread(thread, "renamed test thread"), B_OK);
	EXPECT_EQ(find_thread("renamed test thread"), thread);
	EXPECT_EQ(find_thread(longName), B_NAME_NOT_FOUND);
	EXPECT_EQ(KernelName(thread), "renamed test th");
	EXPECT_EQ(rename_thread(thread, nullptr), B_BAD_VALUE);

	ASSERT_EQ(resume_thread(thread), B_OK);
	ASSERT_EQ(send_data(thread, 0, nullptr, 0), B_OK);
	ASSERT_EQ(wait_for_thread(thread, nullptr), B_OK);
	EXPECT_EQ(find_thread("renamed test thread"), B_NAME_NOT_FOUND);
}

// Priorities below normal make a thread nicer; normal and above keep the
// nice value of the spawning thread.
TEST(ThreadTest, PrioritiesMapOntoNiceValues)
{
	auto niceOf = [](int32 priority) {
		thread_id thread = spawn_thread(+[](void*) -> status_t {
			errno = 0;
			int nice = getpriority(PRIO_PROCESS, 0);
			return errno != 0 ? B_ERROR : 100 + nice;
		}, "priority test", priority, nullptr);
		status_t exitValue = B_ERROR;
		EXPECT_EQ(wait_for_thread(thread, &exitValue), B_OK);
		return exitValue - 100;
	};
	int inherited = getpriority(PRIO_PROCESS, 0);
	EXPECT_EQ(niceOf(B_NORMAL_PRIORITY), inherited);
	EXPECT_EQ(niceOf(B_REAL_TIME_PRIORITY), inherited);
	EXPECT_EQ(niceOf(B_LOW_PRIORITY), std::min(inherited + 10, 19));
	EXPECT_EQ(niceOf(B_IDLE_PRIORITY), 19);
}

// Threads the kit did not spawn have an id and a mailbox, but they are not
// the kit's to wait for or kill; their id goes when they end.
TEST(ThreadTest, AdoptedThreadsUseTheKit)
{
	std::atomic<thread_id> adopted = 0;
	std::atomic<bool> ready = false;
	int32 received = 0;
	status_t snoozed = B_ERROR;
	std::thread worker([&] {
		adopted = find_thread(nullptr);
		ready = true;
		thread_id sender;
		received = receive_data(&sender, nullptr, 0);
		snoozed = snooze(10);
	});
	ASSERT_TRUE(WaitForFlag(ready));
	EXPECT_EQ(kill_thread(adopted), B_NOT_ALLOWED);
	EXPECT_EQ(wait_for_thread(adopted, nullptr), B_NOT_ALLOWED);
	EXPECT_EQ(resume_thread(adopted), B_BAD_THREAD_STATE);
	ASSERT_EQ(send_data(adopted, 31, nullptr, 0), B_OK);
	worker.join();
	EXPECT_EQ(received, 31);
	EXPECT_EQ(snoozed, B_OK);
	EXPECT_EQ(send_data(adopted, 32, nullptr, 0), B_BAD_THREAD_ID);
	EXPECT_EQ(kill_thread(find_thread(nullptr)), B_NOT_ALLOWED);
}

// An ended thread's exit value waits for its waiter, but not forever: after
// many later threads have ended it is forgotten, so that threads nobody
// waits for leave nothing behind.
TEST(ThreadTest, EndedThreadsAreForgottenEventually)
{
	thread_id forgotten = StartThread(ReturnData, AsData(1));
	// resume_thread() tells a running thread (wrong state) from an ended
	// one (unknown id) without waiting for it.
	while (resume_thread(forgotten) != B_BAD_THREAD_ID)
		ASSERT_EQ(snooze(100), B_OK);

	thread_id kept = -1;
	for (int i = 0; i < 1100; i++) {
		thread_id thread = StartThread(ReturnData, AsData(2));
		if (i == 1099) {
			kept = thread;
			break;
		}
		ASSERT_EQ(wait_for_thread(thread, nullptr), B_OK);
	}
	EXPECT_EQ(wait_for_thread(forgotten, nullptr), B_BAD_THREAD_ID);
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(kept, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 2);
}

// Threads spawned and waited for from several threads at once keep their
// own exit values.
TEST(ThreadTest, ConcurrentSpawnAndWait)
{
	constexpr int kSpawners = 6;
	constexpr int kRounds = 100;
	std::atomic<int> mismatches = 0;
	std::vector<std::thread> spawners;
	for (int s = 0; s < kSpawners; s++) {
		spawners.emplace_back([&, s] {
			for (int round = 0; round < kRounds; round++) {
				intptr_t value = s * 1000 + round;
				thread_id thread = spawn_thread(ReturnData, "concurrent", B_NORMAL_PRIORITY,
					AsData(value));
				status_t exitValue = -1;
				if (thread < 0 || wait_for_thread(thread, &exitValue) != B_OK
						|| exitValue != value)
					mismatches++;
			}
		});
	}
	for (auto& spawner : spawners)
		spawner.join();
	EXPECT_EQ(mismatches, 0);
}

// A forked child has only the forking thread, under its new id, and can
// spawn threads of its own.
TEST(ThreadTest, ForkedChildKnowsItsOwnThread)
{
	ASSERT_GT(find_thread(nullptr), 0);
	pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0) {
		if (find_thread(nullptr) != gettid())
			_exit(1);
		thread_id thread = spawn_thread(ReturnData, "in child", B_NORMAL_PRIORITY, AsData(3));
		status_t exitValue = 0;
		if (thread < 0 || wait_for_thread(thread, &exitValue) != B_OK || exitValue != 3)
			_exit(2);
		_exit(0);
	}
	int status = 0;
	ASSERT_EQ(waitpid(child, &status, 0), child);
	ASSERT_TRUE(WIFEXITED(status));
	EXPECT_EQ(WEXITSTATUS(status), 0);
}

// snooze() sleeps at least as long as asked on the system_time() clock.
TEST(ThreadTest, SnoozeLastsOnTheSystemClock)
{
	bigtime_t before = system_time();
	ASSERT_EQ(snooze(2000), B_OK);
	EXPECT_GE(system_time() - before, 2000);
	bigtime_t until = system_time() + 1000;
	ASSERT_EQ(snooze_until(until, B_SYSTEM_TIMEBASE), B_OK);
	EXPECT_GE(system_time(), until);
	EXPECT_EQ(snooze_until(until, 1), B_BAD_VALUE);
}
