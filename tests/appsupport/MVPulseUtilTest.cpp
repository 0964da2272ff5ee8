#include "MVPulseUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <memory>
#include <mutex>

#include <app/Looper.h>
#include <app/Message.h>

namespace {

constexpr uint32 kTick = 'tick';
constexpr uint32 kOtherTick = 'tck2';
constexpr uint32 kMarker = 'mark';
constexpr auto kPatience = std::chrono::seconds(20);
// Short enough to keep the tests quick; the tests wait for conditions, never
// for a time.
constexpr int32 kShortInterval = 3000;
// Long against the time a test needs to delete a target after a tick, so
// that the deletion falls into the helper's sleep.
constexpr int32 kLongInterval = 200000;

// Counts the messages it receives by code; a test waits for counts.
class TickCounter : public BHandler {
public:
	TickCounter() : BHandler("tick counter") {}

	void MessageReceived(BMessage* message) override
	{
		std::lock_guard<std::mutex> guard(fLock);
		fCounts[message->what]++;
		if (message->what == kTick) {
			fLastTickEmpty = message->IsEmpty();
			fLastTickWaited = message->IsSourceWaiting();
		}
		if (message->what == kMarker)
			fTicksAtMarker = fCounts[kTick];
		fCondition.notify_all();
	}

	bool WaitFor(uint32 code, int32 count)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fCondition.wait_for(guard, kPatience, [&] { return fCounts[code] >= count; });
	}
	int32 Count(uint32 code)
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fCounts[code];
	}
	int32 TicksAtMarker()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fTicksAtMarker;
	}
	bool LastTickWasPlain()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fLastTickEmpty && !fLastTickWaited;
	}

private:
	std::mutex fLock;
	std::condition_variable fCondition;
	std::map<uint32, int32> fCounts;
	int32 fTicksAtMarker = -1;
	bool fLastTickEmpty = false;
	bool fLastTickWaited = true;
};

// A running looper with a counter as an extra handler.
struct Target {
	Target()
	{
		looper = new BLooper("pulse target");
		counter = std::make_unique<TickCounter>();
		looper->AddHandler(counter.get());
		looper->Run();
	}
	~Target()
	{
		if (looper != nullptr)
			Quit();
	}
	// Ends and deletes the looper; returns when it is gone.
	void Quit()
	{
		looper->Lock();
		if (counter != nullptr)
			looper->RemoveHandler(counter.get());
		looper->Quit();
		looper = nullptr;
	}

	BLooper* looper;
	std::unique_ptr<TickCounter> counter;
};

// Waits for a kit thread's end from another thread, so that a test can give
// up after a while instead of hanging.
std::future<status_t> WhenEnded(thread_id thread)
{
	return std::async(std::launch::async, [thread] {
		status_t exitValue = B_ERROR;
		status_t status = wait_for_thread(thread, &exitValue);
		return status == B_OK ? exitValue : status;
	});
}

}	// namespace

// The helper is a thread of its own that sends the target plain messages
// with the code, without waiting for replies.
TEST(MVPulseUtilTest, TicksTheTargetHandler)
{
	Target target;
	MVPulseUtil pulse(kShortInterval, kTick, target.counter.get());
	ASSERT_GE(pulse.Thread(), 0);
	EXPECT_EQ(find_thread("MVPulseTask"), pulse.Thread());
	ASSERT_TRUE(target.counter->WaitFor(kTick, 3));
	EXPECT_TRUE(target.counter->LastTickWasPlain());
}

// Without a usable target or interval there is no helper, and destroying
// such an object is harmless.
TEST(MVPulseUtilTest, StartsNoThreadWithoutATargetOrInterval)
{
	TickCounter loose;
	Target target;
	EXPECT_LT(MVPulseUtil(kShortInterval, kTick, &loose).Thread(), 0);
	EXPECT_LT(MVPulseUtil(kShortInterval, kTick, nullptr).Thread(), 0);
	EXPECT_LT(MVPulseUtil(0, kTick, target.counter.get()).Thread(), 0);
	EXPECT_EQ(target.counter->Count(kTick), 0);
}

// Deleting the target's looper ends the helper at its next tick, which finds
// the target gone and sends nothing; the object outlives its helper safely.
TEST(MVPulseUtilTest, EndsWhenTheTargetLooperIsDeleted)
{
	Target target;
	auto pulse = std::make_unique<MVPulseUtil>(kLongInterval, kTick, target.counter.get());
	ASSERT_GE(pulse->Thread(), 0);
	ASSERT_TRUE(target.counter->WaitFor(kTick, 1));
	target.Quit();

	std::future<status_t> ended = WhenEnded(pulse->Thread());
	ASSERT_EQ(ended.wait_for(kPatience), std::future_status::ready);
	// B_OK: it stopped at its check, not in a failed send.
	EXPECT_EQ(ended.get(), B_OK);
	pulse.reset();
}

// The target is the handler, not its looper: the helper also ends when the
// handler leaves a looper that goes on running.
TEST(MVPulseUtilTest, EndsWhenTheTargetHandlerIsRemoved)
{
	Target target;
	auto pulse = std::make_unique<MVPulseUtil>(kLongInterval, kTick, target.counter.get());
	ASSERT_GE(pulse->Thread(), 0);
	ASSERT_TRUE(target.counter->WaitFor(kTick, 1));
	ASSERT_TRUE(target.looper->Lock());
	target.looper->RemoveHandler(target.counter.get());
	target.looper->Unlock();
	target.counter.reset();

	std::future<status_t> ended = WhenEnded(pulse->Thread());
	ASSERT_EQ(ended.wait_for(kPatience), std::future_status::ready);
	EXPECT_EQ(ended.get(), B_OK);
}

// Destroying the object ends the helper before the destructor returns: no
// tick follows, while another helper on the same target keeps ticking.
TEST(MVPulseUtilTest, StopsTicksWhenDestroyed)
{
	Target target;
	auto pulse = std::make_unique<MVPulseUtil>(kShortInterval, kTick, target.counter.get());
	MVPulseUtil control(kShortInterval, kOtherTick, target.counter.get());
	ASSERT_GE(pulse->Thread(), 0);
	ASSERT_GE(control.Thread(), 0);
	ASSERT_TRUE(target.counter->WaitFor(kTick, 2));
	thread_id helper = pulse->Thread();
	pulse.reset();
	EXPECT_EQ(kill_thread(helper), B_BAD_THREAD_ID);

	// Ticks sent before the end are still queued ahead of the marker; after
	// it, several intervals of the control helper pass without a tick.
	ASSERT_EQ(target.looper->PostMessage(kMarker, target.counter.get()), B_OK);
	ASSERT_TRUE(target.counter->WaitFor(kMarker, 1));
	int32 controlTicks = target.counter->Count(kOtherTick);
	ASSERT_TRUE(target.counter->WaitFor(kOtherTick, controlTicks + 3));
	EXPECT_EQ(target.counter->Count(kTick), target.counter->TicksAtMarker());
}
