#include <app/Application.h>
#include <app/Message.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Counts pulses and quits after a number of them.
class PulsingApp : public BApplication {
public:
	PulsingApp() : BApplication("application/x-vnd.morvane-test") {}

	void ReadyToRun() override
	{
		readyOnThread = find_thread(nullptr);
		SetPulseRate(1000);
	}

	void Pulse() override
	{
		pulses++;
		if (pulses == 1) {
			// Busy for many pulse periods: the ticker must not queue them up.
			(void)snooze(30000);
			queuedAfterBusyPulse = CountQueuedMessages();
		}
		if (pulses == 5)
			Quit();
	}

	void MessageReceived(BMessage* message) override
	{
		if (message->what == 'stop') {
			Quit();
			return;
		}
		BApplication::MessageReceived(message);
	}

	thread_id readyOnThread = -1;
	int32 pulses = 0;
	int32 queuedAfterBusyPulse = -1;
};

}	// namespace

// The application runs on the calling thread, pulses at its rate without piling up, and quits.
TEST(ApplicationTest, RunsPulsesAndQuits)
{
	PulsingApp app;
	EXPECT_EQ(be_app, &app);
	EXPECT_TRUE(be_app_messenger.IsValid());
	status_t error;
	BApplication second("application/x-vnd.morvane-second", &error);
	EXPECT_EQ(error, B_ALREADY_RUNNING);

	EXPECT_EQ(app.Run(), find_thread(nullptr));
	EXPECT_EQ(app.readyOnThread, find_thread(nullptr));
	EXPECT_EQ(app.pulses, 5);
	EXPECT_LE(app.queuedAfterBusyPulse, 1);
}

// Another thread can end the application's loop, and replies without a named target reach it.
TEST(ApplicationTest, QuitFromAnotherThreadAndDefaultReplies)
{
	class Replier : public BApplication {
	public:
		Replier() : BApplication("application/x-vnd.morvane-replier") {}
		void MessageReceived(BMessage* message) override
		{
			if (message->what == 'rply')
				gotReply = message->IsReply();
			else
				BApplication::MessageReceived(message);
		}
		std::atomic<bool> gotReply{false};
	};
	Replier app;
	BLooper* looper = new BLooper("worker");
	ASSERT_GE(looper->Run(), 0);
	std::thread other([&] {
		// The worker's answer to a message sent without a reply target goes
		// to the application.
		BMessage request('ask ');
		class Answerer : public BHandler {
		public:
			void MessageReceived(BMessage* message) override { (void)message->SendReply('rply'); }
		};
		Answerer answerer;
		ASSERT_TRUE(looper->Lock());
		looper->AddHandler(&answerer);
		looper->Unlock();
		EXPECT_EQ(BMessenger(&answerer).SendMessage(&request), B_OK);
		while (!app.gotReply)
			(void)snooze(1000);
		ASSERT_TRUE(looper->Lock());
		looper->RemoveHandler(&answerer);
		looper->Quit();
		EXPECT_EQ(be_app_messenger.SendMessage(B_QUIT_REQUESTED), B_OK);
	});
	app.Run();
	other.join();
	EXPECT_TRUE(app.gotReply);
}
