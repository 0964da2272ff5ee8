#pragma once

// Helpers of the kernel kit's tests.

#include <atomic>
#include <functional>

#include <kernel/OS.h>

// Sets a flag when destroyed: shows that a killed thread's stack unwound.
class DestructionFlag {
public:
	explicit DestructionFlag(std::atomic<bool>& destroyed) : fDestroyed(destroyed) {}
	~DestructionFlag() { fDestroyed = true; }
	DestructionFlag(const DestructionFlag&) = delete;
	DestructionFlag& operator=(const DestructionFlag&) = delete;

private:
	std::atomic<bool>& fDestroyed;
};

// Waits until the condition holds; false after ten seconds.
bool WaitFor(const std::function<bool()>& condition);
// Waits until the flag is set; false after ten seconds.
bool WaitForFlag(const std::atomic<bool>& flag);

// Waits until a thread of this process sleeps in the kernel (state S in
// /proc). After a thread announced that it is about to block in a kit call,
// that means it is blocked in it. False after ten seconds.
bool WaitUntilBlocked(thread_id thread);

// Spawns and resumes a thread; the test fails when either step does.
thread_id StartThread(thread_func function, void* data, const char* name = "kernel test");
