#pragma once

// Waits until the clock's second changes and returns the new second. File
// times count whole seconds: what changes afterwards has a later change
// time than what changed before, whatever modification time it is given.

#include <ctime>

#include <kernel/OS.h>

inline int32 NextSecond()
{
	time_t before = time(nullptr);
	while (time(nullptr) == before)
		(void)snooze(5000);
	return int32(time(nullptr));
}
