#include "MessageInbox.h"

#include <chrono>

void MessageInbox::Add(const BMessage& message)
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		fMessages.push_back(message);
	}
	fArrived.notify_all();
}

bool MessageInbox::_Matches(const BMessage& message, uint32 what, const Predicate& predicate)
{
	return message.what == what && (predicate == nullptr || predicate(message));
}

std::optional<BMessage> MessageInbox::Await(uint32 what, bigtime_t timeout,
	const Predicate& predicate)
{
	std::unique_lock<std::mutex> guard(fLock);
	std::optional<BMessage> found;
	fArrived.wait_for(guard, std::chrono::microseconds(timeout), [&] {
		for (const BMessage& message : fMessages) {
			if (_Matches(message, what, predicate)) {
				found = message;
				return true;
			}
		}
		return false;
	});
	return found;
}

int32 MessageInbox::Count(uint32 what, const Predicate& predicate) const
{
	std::lock_guard<std::mutex> guard(fLock);
	int32 count = 0;
	for (const BMessage& message : fMessages) {
		if (_Matches(message, what, predicate))
			count++;
	}
	return count;
}

int32 MessageInbox::CountAll() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return int32(fMessages.size());
}

std::vector<BMessage> MessageInbox::Messages() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fMessages;
}

void MessageInbox::Clear()
{
	std::lock_guard<std::mutex> guard(fLock);
	fMessages.clear();
}
