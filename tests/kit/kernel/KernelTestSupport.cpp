#include "KernelTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace {

constexpr auto kPatience = std::chrono::seconds(10);

// The state letter of a thread in /proc, or 0 when it is gone.
char ThreadState(thread_id thread)
{
	std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
	std::string line;
	if (!std::getline(stat, line))
		return 0;
	// The name in parentheses may hold anything; the state follows it.
	size_t end = line.rfind(')');
	if (end == std::string::npos || end + 2 >= line.size())
		return 0;
	return line[end + 2];
}

} // namespace

bool WaitFor(const std::function<bool()>& condition)
{
	auto giveUp = std::chrono::steady_clock::now() + kPatience;
	while (!condition()) {
		if (std::chrono::steady_clock::now() > giveUp)
			return false;
		std::this_thread::sleep_for(std::chrono::microseconds(200));
	}
	return true;
}

bool WaitForFlag(const std::atomic<bool>& flag)
{
	return WaitFor([&] { return flag.load(); });
}

bool WaitUntilBlocked(thread_id thread)
{
	return WaitFor([&] { return ThreadState(thread) == 'S'; });
}

thread_id StartThread(thread_func function, void* data, const char* name)
{
	thread_id thread = spawn_thread(function, name, B_NORMAL_PRIORITY, data);
	EXPECT_GT(thread, 0);
	EXPECT_EQ(resume_thread(thread), B_OK);
	return thread;
}
