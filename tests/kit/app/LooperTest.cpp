#include <app/Looper.h>
#include <app/Message.h>
#include <app/Messenger.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr uint32 kRecord = 'RCRD';
constexpr uint32 kEcho = 'ECHO';
constexpr uint32 kBlock = 'BLCK';
constexpr uint32 kDetach = 'DTCH';
constexpr auto kPatience = std::chrono::seconds(20);

// A gate that a handler waits at until the test opens it.
class Gate {
public:
	void Open()
	{
		std::lock_guard<std::mutex> guard(fLock);
		fOpen = true;
		fCondition.notify_all();
	}
	void WaitOpen()
	{
		std::unique_lock<std::mutex> guard(fLock);
		fCondition.wait(guard, [this] { return fOpen; });
	}
	void MarkReached()
	{
		std::lock_guard<std::mutex> guard(fLock);
		fReached = true;
		fCondition.notify_all();
	}
	bool WaitReached()
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fCondition.wait_for(guard, kPatience, [this] { return fReached; });
	}

private:
	std::mutex fLock;
	std::condition_variable fCondition;
	bool fOpen = false;
	bool fReached = false;
};

// Records what it receives and answers echo requests; can be told to block.
class TestLooper : public BLooper {
public:
	TestLooper(std::atomic<bool>* destroyed = nullptr)
		: BLooper("test looper"), fDestroyed(destroyed) {}
	~TestLooper() override
	{
		if (fDestroyed != nullptr)
			*fDestroyed = true;
	}

	void MessageReceived(BMessage* message) override
	{
		switch (message->what) {
			case kRecord: {
				std::lock_guard<std::mutex> guard(fLock);
				fValues.push_back(message->GetInt32("value", -1));
				fCondition.notify_all();
				break;
			}
			case kEcho: {
				BMessage reply(B_REPLY);
				reply.AddInt32("value", message->GetInt32("value", -1));
				reply.AddInt32("thread", find_thread(nullptr));
				reply.AddBool("waiting", message->IsSourceWaiting());
				(void)message->SendReply(&reply);
				break;
			}
			case kBlock:
				gate.MarkReached();
				gate.WaitOpen();
				if (message->GetBool("quit"))
					Quit();
				break;
			case kDetach:
				detached.reset(DetachCurrentMessage());
				break;
			default:
				BLooper::MessageReceived(message);
				break;
		}
	}

	bool WaitForValues(size_t count)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fCondition.wait_for(guard, kPatience, [&] { return fValues.size() >= count; });
	}
	std::vector<int32> Values()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fValues;
	}

	Gate gate;
	std::unique_ptr<BMessage> detached;

private:
	std::atomic<bool>* fDestroyed;
	std::mutex fLock;
	std::condition_variable fCondition;
	std::vector<int32> fValues;
};

// A handler that records the values it receives, for addressing tests.
class RecordingHandler : public BHandler {
public:
	RecordingHandler() : BHandler("recorder") {}
	void MessageReceived(BMessage* message) override
	{
		std::lock_guard<std::mutex> guard(fLock);
		fValues.push_back(message->GetInt32("value", -1));
		fCondition.notify_all();
	}
	bool WaitForValues(size_t count)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fCondition.wait_for(guard, kPatience, [&] { return fValues.size() >= count; });
	}
	std::vector<int32> Values()
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fValues;
	}

private:
	std::mutex fLock;
	std::condition_variable fCondition;
	std::vector<int32> fValues;
};

BMessage Valued(uint32 what, int32 value)
{
	BMessage message(what);
	message.AddInt32("value", value);
	return message;
}

void QuitLooper(BLooper* looper)
{
	ASSERT_TRUE(looper->Lock());
	looper->Quit();
}

}	// namespace

// Messages from several threads arrive, each sender's in its own order,
// whether sent one by one or several at once (batches of 1 to 7 between
// single ones, so that the looper finds its queue now empty, now not).
TEST(LooperTest, DeliversInArrivalOrder)
{
	TestLooper* looper = new TestLooper;
	ASSERT_GE(looper->Run(), 0);
	BMessenger messenger(looper);
	constexpr int32 kPerSender = 500;
	std::vector<std::thread> senders;
	for (int32 sender = 0; sender < 3; sender++) {
		senders.emplace_back([&, sender] {
			for (int32 i = 0; i < kPerSender;) {
				int32 count = sender == 0 ? 1 : std::min(kPerSender - i, 1 + i % 7);
				std::vector<BMessage> messages;
				for (int32 k = 0; k < count; k++)
					messages.push_back(Valued(kRecord, sender * kPerSender + i + k));
				std::vector<const BMessage*> batch;
				for (const BMessage& message : messages)
					batch.push_back(&message);
				EXPECT_EQ(count == 1 ? messenger.SendMessage(batch[0])
					: messenger.SendMessages(batch.data(), batch.size()), B_OK);
				i += count;
			}
		});
	}
	for (auto& sender : senders)
		sender.join();
	ASSERT_TRUE(looper->WaitForValues(3 * kPerSender));
	std::vector<int32> last(3, -1);
	for (int32 value : looper->Values()) {
		int32 sender = value / kPerSender;
		EXPECT_GT(value, last[size_t(sender)]);
		last[size_t(sender)] = value;
	}

	// A batch stops at a missing message; what came before it arrives.
	BMessage before = Valued(kRecord, -2);
	const BMessage* broken[] = {&before, nullptr, &before};
	EXPECT_EQ(messenger.SendMessages(broken, 3), B_BAD_VALUE);
	ASSERT_TRUE(looper->WaitForValues(3 * kPerSender + 1));
	EXPECT_EQ(looper->Values().back(), -2);
	QuitLooper(looper);
}

// Synchronous requests from many threads each get their own answer, from the looper's thread.
TEST(LooperTest, SynchronousRepliesAcrossThreads)
{
	TestLooper* looper = new TestLooper;
	thread_id looperThread = looper->Run();
	ASSERT_GE(looperThread, 0);
	BMessenger messenger(looper);
	std::vector<std::thread> clients;
	std::atomic<int32> answered{0};
	for (int32 client = 0; client < 4; client++) {
		clients.emplace_back([&, client] {
			for (int32 i = 0; i < 100; i++) {
				BMessage request = Valued(kEcho, client * 1000 + i);
				BMessage reply;
				ASSERT_EQ(messenger.SendMessage(&request, &reply), B_OK);
				EXPECT_EQ(reply.what, uint32(B_REPLY));
				EXPECT_TRUE(reply.IsReply());
				EXPECT_EQ(reply.GetInt32("value", -1), client * 1000 + i);
				EXPECT_EQ(reply.GetInt32("thread", -1), looperThread);
				EXPECT_TRUE(reply.GetBool("waiting"));
				answered++;
			}
		});
	}
	for (auto& client : clients)
		client.join();
	EXPECT_EQ(answered, 400);
	QuitLooper(looper);
}

// A request that is dropped, or still queued when the looper quits, is answered with B_NO_REPLY.
TEST(LooperTest, DroppedRequestsGetNoReply)
{
	TestLooper* looper = new TestLooper;
	ASSERT_GE(looper->Run(), 0);
	BMessenger messenger(looper);
	BMessage reply;
	ASSERT_EQ(messenger.SendMessage('none', &reply), B_OK);
	EXPECT_EQ(reply.what, uint32(B_MESSAGE_NOT_UNDERSTOOD));

	ASSERT_EQ(messenger.SendMessage(kRecord, &reply), B_OK);
	EXPECT_EQ(reply.what, uint32(B_NO_REPLY));

	// Block the looper, queue requests behind it, then let it quit.
	BMessage block(kBlock);
	block.AddBool("quit", true);
	ASSERT_EQ(messenger.SendMessage(&block), B_OK);
	ASSERT_TRUE(looper->gate.WaitReached());
	std::vector<std::thread> waiters;
	std::atomic<int32> noReplies{0};
	for (int32 i = 0; i < 3; i++) {
		waiters.emplace_back([&] {
			BMessage answer;
			if (messenger.SendMessage(kEcho, &answer) == B_OK && answer.what == B_NO_REPLY)
				noReplies++;
		});
	}
	while (looper->CountQueuedMessages() < 3)
		std::this_thread::yield();
	looper->gate.Open();
	for (auto& waiter : waiters)
		waiter.join();
	EXPECT_EQ(noReplies, 3);
}

// A request the looper does not answer in time returns B_TIMED_OUT; asking oneself would block.
TEST(LooperTest, TimeOutsAndSelfRequests)
{
	TestLooper* looper = new TestLooper;
	ASSERT_GE(looper->Run(), 0);
	BMessenger messenger(looper);
	ASSERT_EQ(messenger.SendMessage(kBlock), B_OK);
	ASSERT_TRUE(looper->gate.WaitReached());
	BMessage request(kEcho);
	BMessage reply;
	EXPECT_EQ(messenger.SendMessage(&request, &reply, B_INFINITE_TIMEOUT, 20000), B_TIMED_OUT);
	EXPECT_EQ(looper->LockWithTimeout(20000), B_TIMED_OUT);
	looper->gate.Open();

	// The late answer to the timed-out request must not confuse later ones.
	BMessage next = Valued(kEcho, 5);
	ASSERT_EQ(messenger.SendMessage(&next, &reply), B_OK);
	EXPECT_EQ(reply.GetInt32("value", -1), 5);

	// From inside its own handler a looper cannot wait for itself.
	class SelfAsker : public BLooper {
	public:
		void MessageReceived(BMessage* message) override
		{
			BMessage answer;
			status_t status = BMessenger(this).SendMessage(kEcho, &answer);
			BMessage reply(B_REPLY);
			reply.AddInt32("status", status);
			(void)message->SendReply(&reply);
		}
	};
	SelfAsker* asker = new SelfAsker;
	ASSERT_GE(asker->Run(), 0);
	ASSERT_EQ(BMessenger(asker).SendMessage('ask ', &reply), B_OK);
	EXPECT_EQ(reply.GetInt32("status", 0), B_WOULD_BLOCK);
	QuitLooper(asker);
	QuitLooper(looper);
}

// Once a looper has quit, its messengers are invalid and sends fail; Quit returns after the end.
TEST(LooperTest, QuitInvalidatesMessengers)
{
	std::atomic<bool> destroyed{false};
	TestLooper* looper = new TestLooper(&destroyed);
	ASSERT_GE(looper->Run(), 0);
	RecordingHandler handler;
	ASSERT_TRUE(looper->Lock());
	looper->AddHandler(&handler);
	looper->Unlock();
	BMessenger messenger(looper);
	BMessenger handlerMessenger(&handler);
	EXPECT_TRUE(messenger.IsValid());
	EXPECT_TRUE(handlerMessenger.IsValid());
	EXPECT_TRUE(messenger.IsTargetLocal());

	QuitLooper(looper);
	EXPECT_TRUE(destroyed);
	EXPECT_EQ(handler.Looper(), nullptr);
	EXPECT_FALSE(messenger.IsValid());
	EXPECT_FALSE(handlerMessenger.IsValid());
	EXPECT_EQ(messenger.SendMessage(kRecord), B_BAD_PORT_ID);
	BMessage record(kRecord);
	const BMessage* batch[] = {&record, &record};
	EXPECT_EQ(messenger.SendMessages(batch, 2), B_BAD_PORT_ID);
	BMessage reply;
	EXPECT_EQ(messenger.SendMessage(kEcho, &reply), B_BAD_PORT_ID);
	EXPECT_FALSE(BMessenger().IsValid());

	// A looper that never ran is deleted by Quit at once.
	std::atomic<bool> idleDestroyed{false};
	TestLooper* idle = new TestLooper(&idleDestroyed);
	idle->Quit();
	EXPECT_TRUE(idleDestroyed);
}

// Messages reach the handler they name; a handler that left the looper gets nothing.
TEST(LooperTest, AddressesHandlers)
{
	TestLooper* looper = new TestLooper;
	ASSERT_GE(looper->Run(), 0);
	RecordingHandler handler;
	ASSERT_TRUE(looper->Lock());
	looper->AddHandler(&handler);
	looper->Unlock();
	BMessenger toHandler(&handler);
	BMessage first = Valued(kRecord, 1);
	ASSERT_EQ(toHandler.SendMessage(&first), B_OK);
	BMessage second = Valued(kRecord, 2);
	ASSERT_EQ(looper->PostMessage(&second, looper), B_OK);
	ASSERT_TRUE(handler.WaitForValues(1));
	ASSERT_TRUE(looper->WaitForValues(1));
	EXPECT_EQ(handler.Values(), std::vector<int32>{1});
	EXPECT_EQ(looper->Values(), std::vector<int32>{2});

	// The preferred handler takes what names no handler.
	ASSERT_TRUE(looper->Lock());
	looper->SetPreferredHandler(&handler);
	looper->Unlock();
	BMessage third = Valued(kRecord, 3);
	ASSERT_EQ(looper->PostMessage(&third), B_OK);
	ASSERT_TRUE(handler.WaitForValues(2));

	ASSERT_TRUE(looper->Lock());
	EXPECT_TRUE(looper->RemoveHandler(&handler));
	EXPECT_EQ(looper->PreferredHandler(), nullptr);
	looper->Unlock();
	EXPECT_FALSE(toHandler.IsValid());
	BMessage reply;
	ASSERT_EQ(toHandler.SendMessage(kRecord, &reply), B_OK);
	EXPECT_EQ(reply.what, uint32(B_NO_REPLY));
	EXPECT_EQ(handler.Values().size(), 2u);
	BMessage other(kRecord);
	EXPECT_EQ(looper->PostMessage(&other, &handler), B_MISMATCHED_VALUES);
	QuitLooper(looper);
}

// A detached request can be answered later from another thread, once only.
TEST(LooperTest, DetachedMessageAnsweredLater)
{
	TestLooper* looper = new TestLooper;
	ASSERT_GE(looper->Run(), 0);
	BMessenger messenger(looper);
	std::thread asker([&] {
		BMessage reply;
		ASSERT_EQ(messenger.SendMessage(kDetach, &reply), B_OK);
		EXPECT_EQ(reply.what, uint32('late'));
	});
	// Wait until the looper holds the detached message.
	BMessage probe(kEcho);
	BMessage answer;
	std::unique_ptr<BMessage> detached;
	while (detached == nullptr) {
		ASSERT_EQ(messenger.SendMessage(&probe, &answer), B_OK);
		ASSERT_TRUE(looper->Lock());
		detached = std::move(looper->detached);
		looper->Unlock();
	}
	EXPECT_TRUE(detached->IsSourceWaiting());
	EXPECT_EQ(detached->SendReply('late'), B_OK);
	EXPECT_EQ(detached->SendReply('agan'), B_DUPLICATE_REPLY);
	asker.join();
	QuitLooper(looper);
}

// Dropping the queue removes what waits behind the current message; waiting senders learn of it.
TEST(LooperTest, DropsQueuedMessages)
{
	TestLooper* looper = new TestLooper;
	ASSERT_GE(looper->Run(), 0);
	BMessenger messenger(looper);
	ASSERT_EQ(messenger.SendMessage(kBlock), B_OK);
	ASSERT_TRUE(looper->gate.WaitReached());
	for (int32 i = 0; i < 5; i++) {
		BMessage message = Valued(kRecord, i);
		ASSERT_EQ(messenger.SendMessage(&message), B_OK);
	}
	ASSERT_EQ(messenger.SendMessage('keep'), B_OK);
	std::thread waiter([&] {
		BMessage reply;
		ASSERT_EQ(messenger.SendMessage(kEcho, &reply), B_OK);
		EXPECT_EQ(reply.what, uint32(B_NO_REPLY));
	});
	while (looper->CountQueuedMessages() < 7)
		std::this_thread::yield();
	EXPECT_EQ(looper->DropQueuedMessages(uint32('keep')), 1);
	EXPECT_EQ(looper->DropQueuedMessages(), 6);
	waiter.join();
	looper->gate.Open();
	BMessage last = Valued(kRecord, 99);
	ASSERT_EQ(messenger.SendMessage(&last), B_OK);
	ASSERT_TRUE(looper->WaitForValues(1));
	EXPECT_EQ(looper->Values(), std::vector<int32>{99});
	QuitLooper(looper);
}

// B_QUIT_REQUESTED quits only when QuitRequested agrees, and says so to a waiting sender.
TEST(LooperTest, QuitRequestedDecides)
{
	class Stubborn : public TestLooper {
	public:
		explicit Stubborn(std::atomic<bool>* destroyed) : TestLooper(destroyed) {}
		bool QuitRequested() override { return allow; }
		std::atomic<bool> allow{false};
	};
	std::atomic<bool> destroyed{false};
	Stubborn* looper = new Stubborn(&destroyed);
	thread_id thread = looper->Run();
	ASSERT_GE(thread, 0);
	BMessenger messenger(looper);
	BMessage reply;
	ASSERT_EQ(messenger.SendMessage(B_QUIT_REQUESTED, &reply), B_OK);
	EXPECT_FALSE(reply.GetBool("result", true));
	EXPECT_TRUE(messenger.IsValid());
	looper->allow = true;
	ASSERT_EQ(messenger.SendMessage(B_QUIT_REQUESTED, &reply), B_OK);
	EXPECT_TRUE(reply.GetBool("result", false));
	status_t exitValue;
	EXPECT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	EXPECT_TRUE(destroyed);
	EXPECT_FALSE(messenger.IsValid());
}

// Replies to asynchronous messages go to the handler the sender named.
TEST(LooperTest, RepliesReachTheNamedHandler)
{
	TestLooper* server = new TestLooper;
	TestLooper* client = new TestLooper;
	ASSERT_GE(server->Run(), 0);
	ASSERT_GE(client->Run(), 0);
	RecordingHandler replies;
	ASSERT_TRUE(client->Lock());
	client->AddHandler(&replies);
	client->Unlock();

	BMessage request = Valued(kEcho, 42);
	ASSERT_EQ(BMessenger(server).SendMessage(&request, &replies), B_OK);
	ASSERT_TRUE(replies.WaitForValues(1));
	EXPECT_EQ(replies.Values(), std::vector<int32>{42});
	QuitLooper(server);
	ASSERT_TRUE(client->Lock());
	client->RemoveHandler(&replies);
	client->Unlock();
	QuitLooper(client);
}
