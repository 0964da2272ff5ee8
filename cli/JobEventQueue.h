#pragma once

// The messages about followed jobs that arrive on the application's thread
// (progress, report lines, questions, queue broadcasts), handed over to the
// command's thread, which prints and answers them. The queue owns the
// messages it holds. Any thread.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include <app/Message.h>
#include <kernel/OS.h>

class JobEventQueue {
public:
	void Push(const BMessage& message);
	// The oldest message, or null when none came within timeout microseconds.
	std::unique_ptr<BMessage> Pop(bigtime_t timeout);
	// Takes the oldest message with that code and job id, if one is queued.
	std::unique_ptr<BMessage> Take(uint32 what, int32 jobId);
	void Clear();

private:
	std::mutex fLock;
	std::condition_variable fArrived;
	std::deque<std::unique_ptr<BMessage>> fMessages;
};
