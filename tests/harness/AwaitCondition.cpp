#include "AwaitCondition.h"

bool AwaitCondition(const std::function<bool()>& condition, bigtime_t timeout,
	bigtime_t interval)
{
	bigtime_t deadline = system_time() + timeout;
	while (true) {
		if (condition())
			return true;
		if (system_time() >= deadline)
			return false;
		(void)snooze(interval);
	}
}
