#include "ThreadKill.h"

#include <exception>

#include "ThreadRegistry.h"

namespace MorvaneKit {

bool IsThreadKilled()
{
	return ThreadRegistry::Current()->ending.load();
}

std::stop_token ThreadStopToken()
{
	return ThreadRegistry::Current()->stopSource.get_token();
}

status_t EndThreadIfKilled()
{
	if (!IsThreadKilled())
		return B_OK;
	if (std::uncaught_exceptions() > 0)
		return B_INTERRUPTED;
	throw ThreadExitRequest{};
}

bigtime_t DeadlineAfter(bigtime_t timeout)
{
	if (timeout <= 0)
		return system_time();
	bigtime_t now = system_time();
	if (timeout >= kLongestDeadline - now)
		return B_INFINITE_TIMEOUT;
	return now + timeout;
}

} // namespace MorvaneKit
