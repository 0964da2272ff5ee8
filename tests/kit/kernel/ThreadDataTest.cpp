// The one-message mailbox of threads: send_data, receive_data, has_data.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <kernel/OS.h>

#include "KernelTestSupport.h"

namespace {

// Receives one message and sends its bytes back to the sender, reversed,
// with the code plus one.
status_t Echo(void*)
{
	char buffer[64];
	thread_id sender = -1;
	int32 code = receive_data(&sender, buffer, sizeof(buffer));
	std::string text(buffer, strnlen(buffer, sizeof(buffer)));
	std::string reversed(text.rbegin(), text.rend());
	return send_data(sender, code + 1, reversed.c_str(), reversed.size() + 1);
}

} // namespace

// A message goes to a spawned thread and an answer comes back, with the
// sender's id.
TEST(ThreadDataTest, SendAndReceiveBetweenThreads)
{
	thread_id echo = StartThread(Echo, nullptr);
	ASSERT_EQ(send_data(echo, 'ping', "abc", 4), B_OK);

	char buffer[16] = {};
	thread_id sender = -1;
	EXPECT_EQ(receive_data(&sender, buffer, sizeof(buffer)), int32('ping' + 1));
	EXPECT_EQ(sender, echo);
	EXPECT_STREQ(buffer, "cba");
	status_t exitValue = B_ERROR;
	ASSERT_EQ(wait_for_thread(echo, &exitValue), B_OK);
	EXPECT_EQ(exitValue, B_OK);
}

// A second message waits until the first has been read, then arrives.
TEST(ThreadDataTest, SecondSendBlocksUntilFirstIsRead)
{
	struct Report {
		thread_id receiver;
		std::atomic<bool> firstSent = false;
		std::atomic<bool> secondSent = false;
	} report;
	report.receiver = find_thread(nullptr);
	thread_id sender = StartThread(+[](void* data) -> status_t {
		Report* report = static_cast<Report*>(data);
		if (send_data(report->receiver, 1, "first", 6) != B_OK)
			return B_ERROR;
		report->firstSent = true;
		status_t status = send_data(report->receiver, 2, "second", 7);
		report->secondSent = true;
		return status;
	}, &report);

	ASSERT_TRUE(WaitForFlag(report.firstSent));
	ASSERT_TRUE(WaitUntilBlocked(sender));
	EXPECT_FALSE(report.secondSent);
	EXPECT_TRUE(has_data(report.receiver));

	char buffer[16] = {};
	thread_id from = -1;
	EXPECT_EQ(receive_data(&from, buffer, sizeof(buffer)), 1);
	EXPECT_STREQ(buffer, "first");
	EXPECT_EQ(from, sender);
	EXPECT_EQ(receive_data(&from, buffer, sizeof(buffer)), 2);
	EXPECT_STREQ(buffer, "second");
	EXPECT_FALSE(has_data(report.receiver));

	status_t exitValue = B_ERROR;
	ASSERT_EQ(wait_for_thread(sender, &exitValue), B_OK);
	EXPECT_EQ(exitValue, B_OK);
	EXPECT_TRUE(report.secondSent);
}

// receive_data() copies no more than the buffer holds and drops the rest of
// the message; the size limit and bad buffers are refused.
TEST(ThreadDataTest, TruncationAndSizeLimits)
{
	thread_id self = find_thread(nullptr);
	std::string message(100, 'm');
	ASSERT_EQ(send_data(self, 9, message.data(), message.size()), B_OK);
	char buffer[16];
	memset(buffer, '.', sizeof(buffer));
	EXPECT_EQ(receive_data(nullptr, buffer, 10), 9);
	EXPECT_EQ(std::string(buffer, 16), "mmmmmmmmmm......");
	EXPECT_FALSE(has_data(self));

	std::vector<uint8> largest(B_MAX_THREAD_DATA_SIZE);
	for (size_t i = 0; i < largest.size(); i++)
		largest[i] = uint8(i * 7);
	EXPECT_EQ(send_data(self, 1, largest.data(), largest.size() + 1), B_BAD_VALUE);
	EXPECT_EQ(send_data(self, 1, nullptr, 1), B_BAD_VALUE);
	EXPECT_FALSE(has_data(self));
	ASSERT_EQ(send_data(self, 2, largest.data(), largest.size()), B_OK);
	std::vector<uint8> received(largest.size() + 10, 0);
	EXPECT_EQ(receive_data(nullptr, received.data(), received.size()), 2);
	received.resize(largest.size());
	EXPECT_EQ(received, largest);
}

// A thread may leave itself one message, but waiting to leave a second one
// would never end.
TEST(ThreadDataTest, SendingToOwnFullMailboxIsRefused)
{
	thread_id self = find_thread(nullptr);
	ASSERT_EQ(send_data(self, 1, nullptr, 0), B_OK);
	EXPECT_EQ(send_data(self, 2, nullptr, 0), B_WOULD_BLOCK);
	thread_id sender = -1;
	EXPECT_EQ(receive_data(&sender, nullptr, 0), 1);
	EXPECT_EQ(sender, self);
}

// A sender blocked on a full mailbox learns when the receiver ends instead
// of waiting forever.
TEST(ThreadDataTest, BlockedSenderSeesReceiverEnd)
{
	thread_id receiver = StartThread(+[](void*) -> status_t {
		return snooze(B_INFINITE_TIMEOUT);
	}, nullptr);
	ASSERT_EQ(send_data(receiver, 1, nullptr, 0), B_OK);

	std::atomic<thread_id> senderId = 0;
	status_t secondSend = B_OK;
	std::thread sender([&] {
		senderId = find_thread(nullptr);
		secondSend = send_data(receiver, 2, nullptr, 0);
	});
	ASSERT_TRUE(WaitFor([&] { return senderId != 0; }));
	ASSERT_TRUE(WaitUntilBlocked(senderId));
	ASSERT_EQ(kill_thread(receiver), B_OK);
	sender.join();
	EXPECT_EQ(secondSend, B_BAD_THREAD_ID);
	EXPECT_FALSE(has_data(receiver));
	EXPECT_EQ(wait_for_thread(receiver, nullptr), B_OK);
}

// Many senders to one receiver: every message arrives once, and each
// sender's messages arrive in the order sent.
TEST(ThreadDataTest, ManySendersToOneReceiver)
{
	constexpr int32 kSenders = 4;
	constexpr int32 kMessages = 250;
	struct Sender {
		thread_id receiver;
		int32 index;
	};
	std::vector<Sender> senders(kSenders);
	std::vector<thread_id> threads;
	for (int32 i = 0; i < kSenders; i++) {
		senders[i] = {find_thread(nullptr), i};
		threads.push_back(StartThread(+[](void* data) -> status_t {
			Sender* sender = static_cast<Sender*>(data);
			for (int32 sequence = 0; sequence < kMessages; sequence++) {
				status_t status = send_data(sender->receiver, sender->index, &sequence,
					sizeof(sequence));
				if (status != B_OK)
					return status;
			}
			return B_OK;
		}, &senders[i]));
	}

	std::vector<int32> nextSequence(kSenders, 0);
	for (int32 received = 0; received < kSenders * kMessages; received++) {
		int32 sequence = -1;
		int32 index = receive_data(nullptr, &sequence, sizeof(sequence));
		ASSERT_GE(index, 0);
		ASSERT_LT(index, kSenders);
		ASSERT_EQ(sequence, nextSequence[index]) << "from sender " << index;
		nextSequence[index]++;
	}
	for (thread_id thread : threads) {
		status_t exitValue = B_ERROR;
		ASSERT_EQ(wait_for_thread(thread, &exitValue), B_OK);
		EXPECT_EQ(exitValue, B_OK);
	}
	EXPECT_FALSE(has_data(find_thread(nullptr)));
}
