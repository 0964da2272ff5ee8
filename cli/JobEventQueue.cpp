#include "JobEventQueue.h"

#include <chrono>

void JobEventQueue::Push(const BMessage& message)
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		fMessages.push_back(std::make_unique<BMessage>(message));
	}
	fArrived.notify_all();
}

std::unique_ptr<BMessage> JobEventQueue::Pop(bigtime_t timeout)
{
	std::unique_lock<std::mutex> guard(fLock);
	if (!fArrived.wait_for(guard, std::chrono::microseconds(timeout),
			[this] { return !fMessages.empty(); })) {
		return nullptr;
	}
	std::unique_ptr<BMessage> message = std::move(fMessages.front());
	fMessages.pop_front();
	return message;
}

std::unique_ptr<BMessage> JobEventQueue::Take(uint32 what, int32 jobId)
{
	std::lock_guard<std::mutex> guard(fLock);
	for (auto it = fMessages.begin(); it != fMessages.end(); ++it) {
		if ((*it)->what == what && (*it)->GetInt32("job_id", 0) == jobId) {
			std::unique_ptr<BMessage> message = std::move(*it);
			fMessages.erase(it);
			return message;
		}
	}
	return nullptr;
}

void JobEventQueue::Clear()
{
	std::lock_guard<std::mutex> guard(fLock);
	fMessages.clear();
}
