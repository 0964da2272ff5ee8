#pragma once

// Waiting for something a test cannot be told about, such as a line in a
// file written by another process or an entry in the roster: the condition
// is asked again every interval until it holds or the time is up.

#include <functional>

#include <kernel/OS.h>

// True as soon as condition() is; false when timeout microseconds passed.
bool AwaitCondition(const std::function<bool()>& condition, bigtime_t timeout,
	bigtime_t interval = 10000);
