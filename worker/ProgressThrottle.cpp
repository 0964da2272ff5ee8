#include "ProgressThrottle.h"

bool ProgressThrottle::IsDue(bigtime_t now)
{
	// A clock that went back counts as due, so progress never stalls.
	if (fLast >= 0 && now >= fLast && now - fLast < fInterval)
		return false;
	fLast = now;
	return true;
}
