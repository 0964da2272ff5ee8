#pragma once

// ProgressThrottle: decides when a worker sends its next progress message.
// Every message goes to each subscriber, possibly in another process, so a
// fast backup sends a few per second instead of one per block; the first
// one goes at once and the worker sends its last one unasked. One thread.

#include <kernel/OS.h>

class ProgressThrottle {
public:
	static constexpr bigtime_t kDefaultInterval = 250000;

	explicit ProgressThrottle(bigtime_t interval = kDefaultInterval) : fInterval(interval) {}

	// True, and the clock restarts, when a message is due at now.
	bool IsDue(bigtime_t now);
	void Reset() { fLast = -1; }

private:
	bigtime_t fInterval;
	bigtime_t fLast = -1;
};
