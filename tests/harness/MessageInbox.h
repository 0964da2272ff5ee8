#pragma once

// MessageInbox: the messages a test's receiver got, kept in arrival order so
// that the test can wait for one with a time-out and count what came.
//
// Threads: the receiver adds from its looper thread, the test reads from its
// own; every call takes the inbox's lock.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include <app/Message.h>

class MessageInbox {
public:
	using Predicate = std::function<bool(const BMessage&)>;

	void Add(const BMessage& message);

	// The first message with that code (and for which the predicate holds)
	// that arrived, waiting up to timeout microseconds for it.
	std::optional<BMessage> Await(uint32 what, bigtime_t timeout,
		const Predicate& predicate = nullptr);
	int32 Count(uint32 what, const Predicate& predicate = nullptr) const;
	int32 CountAll() const;
	std::vector<BMessage> Messages() const;
	void Clear();

private:
	static bool _Matches(const BMessage& message, uint32 what, const Predicate& predicate);

	mutable std::mutex fLock;
	std::condition_variable fArrived;
	std::vector<BMessage> fMessages;
};
