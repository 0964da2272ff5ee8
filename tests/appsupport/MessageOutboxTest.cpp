// The outbox never makes its poster wait: messages go out in order on the
// box's thread, a target that takes nothing in time or lets too much pile up
// is stalled, one that has ended is gone, and a box that is destroyed still
// sends what it holds. The target's transport is stood in for by a sender
// that records and can be held.

#include "MessageOutbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace {

constexpr bigtime_t kPatience = 10000000;

// Records what reaches the target; while held, a send waits for release
// or its time-out, as a process that is stopped and continued.
class StandInTarget {
public:
	MessageOutbox::Sender Sender()
	{
		return [this](const BMessenger&, const BMessage& message, const BMessenger&,
				bigtime_t timeout) {
			std::unique_lock<std::mutex> guard(fLock);
			if (!fChanged.wait_for(guard, std::chrono::microseconds(timeout),
					[this] { return !fHeld; })) {
				return B_TIMED_OUT;
			}
			fReceived.push_back(message.what);
			fChanged.notify_all();
			auto answer = fAnswers.find(message.what);
			return answer != fAnswers.end() ? answer->second : B_OK;
		};
	}

	void Hold(bool held)
	{
		std::lock_guard<std::mutex> guard(fLock);
		fHeld = held;
		fChanged.notify_all();
	}

	void Answer(uint32 what, status_t status) { fAnswers[what] = status; }

	std::vector<uint32> Received()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fReceived;
	}

	bool AwaitCount(size_t count)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fChanged.wait_for(guard, std::chrono::microseconds(kPatience),
			[&] { return fReceived.size() >= count; });
	}

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	bool fHeld = false;
	std::vector<uint32> fReceived;
	std::map<uint32, status_t> fAnswers;
};

}	// namespace

TEST(MessageOutboxTest, SendsInOrderWithoutWaiting)
{
	StandInTarget target;
	target.Hold(true);
	{
		MessageOutbox box(BMessenger(), target.Sender());
		// The target takes nothing, yet every post returns at once.
		for (uint32 what = 1; what <= 5; what++)
			EXPECT_TRUE(box.Post(BMessage(what)));
		target.Answer(3, B_MESSAGE_TOO_BIG);
		target.Hold(false);
		EXPECT_TRUE(box.Flush(kPatience));
		EXPECT_FALSE(box.IsDead()) << "a failure of one message concerns that message";
		EXPECT_TRUE(box.Post(BMessage(6)));
		target.Hold(true);
		EXPECT_TRUE(box.Post(BMessage(7)));
	}
	// The box is gone; its thread still delivers what it held.
	target.Hold(false);
	ASSERT_TRUE(target.AwaitCount(7));
	EXPECT_EQ(target.Received(), (std::vector<uint32>{1, 2, 3, 4, 5, 6, 7}));
}

// A batch goes to the box's thread at once, even to a target that takes
// every message at once, and keeps its place between single messages.
TEST(MessageOutboxTest, BatchesKeepTheirPlace)
{
	StandInTarget target;
	MessageOutbox box(BMessenger(), target.Sender());
	EXPECT_TRUE(box.Post(BMessage(1)));
	EXPECT_EQ(target.Received(), std::vector<uint32>{1}) << "a single message goes out directly";
	target.Hold(true);
	std::vector<std::shared_ptr<const BMessage>> batch;
	for (uint32 what = 2; what <= 4; what++)
		batch.push_back(std::make_shared<const BMessage>(what));
	EXPECT_TRUE(box.Post(batch)) << "a held target does not hold up the poster";
	EXPECT_TRUE(box.Post(BMessage(5)));
	EXPECT_TRUE(box.Post(std::vector<std::shared_ptr<const BMessage>>{}));
	target.Hold(false);
	EXPECT_TRUE(box.Flush(kPatience));
	EXPECT_EQ(target.Received(), (std::vector<uint32>{1, 2, 3, 4, 5}));
}

TEST(MessageOutboxTest, StalledAndGoneTargetsAreDead)
{
	struct Case {
		const char* name;
		bool held;              // the target takes nothing at first
		status_t answer;        // what sending the first message gives
		size_t maxQueuedBytes;
		bool stalled;
		bool gone;
		bool batch = false;     // the rest are posted at once
	};
	const size_t small = size_t(BMessage('smal').FlattenedSize());
	const Case cases[] = {
		{"takes nothing in time", true, B_TIMED_OUT, MessageOutbox::kMaxQueuedBytes, true, false},
		{"has ended", true, B_BAD_PORT_ID, MessageOutbox::kMaxQueuedBytes, false, true},
		{"has ended, found at once", false, B_BAD_PORT_ID, MessageOutbox::kMaxQueuedBytes,
			false, true},
		{"lets too much pile up", true, B_OK, 3 * small, true, false},
		{"lets a batch pile up too much", true, B_OK, 3 * small, true, false, true},
		{"has ended, with a batch", true, B_BAD_PORT_ID, MessageOutbox::kMaxQueuedBytes,
			false, true, true},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.name);
		StandInTarget target;
		target.Answer('frst', test.answer);
		target.Hold(test.held);
		MessageOutbox box(BMessenger(), target.Sender(), test.maxQueuedBytes);
		EXPECT_EQ(box.Post(BMessage('frst')), test.held) << "a post fails only when the end is known at once";
		// While the first one is on its way, the rest pile up.
		std::vector<std::shared_ptr<const BMessage>> rest;
		for (int i = 0; i < 4; i++)
			rest.push_back(std::make_shared<const BMessage>('smal'));
		if (test.batch)
			(void)box.Post(rest);
		for (size_t i = 0; !test.batch && i < rest.size(); i++)
			(void)box.Post(rest[i]);
		target.Hold(false);
		(void)box.Flush(kPatience);
		EXPECT_EQ(box.IsStalled(), test.stalled);
		EXPECT_EQ(box.IsGone(), test.gone);
		EXPECT_TRUE(box.IsDead());
		EXPECT_FALSE(box.Post(BMessage('last')));
		EXPECT_FALSE(box.Flush(kPatience));
		std::vector<uint32> received = target.Received();
		EXPECT_EQ(std::count(received.begin(), received.end(), 'last'), 0);
		EXPECT_LT(received.size(), 5u) << "what a dead target was owed is dropped";
	}
}
