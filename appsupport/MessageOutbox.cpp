#include "MessageOutbox.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// A thread woken by a first letter lets more gather for this long, or up to
// kBatchLetters, before it sends: one wake-up carries a batch instead of
// every letter waking it in turn.
constexpr auto kGatherTime = std::chrono::microseconds(1000);
constexpr size_t kBatchLetters = 64;

struct Letter {
	std::shared_ptr<const BMessage> message;
	BMessenger replyTo;
	size_t size;
};

// What a letter counts against the box's byte limit.
size_t FlatSize(const BMessage& message)
{
	ssize_t size = message.FlattenedSize();
	return size > 0 ? size_t(size) : 0;
}

status_t SendDirectly(const BMessenger& target, const BMessage& message,
	const BMessenger& replyTo, bigtime_t timeout)
{
	return target.SendMessage(&message, replyTo, timeout);
}

}	// namespace

// Shared by the box and its thread, which may outlive the box.
struct MessageOutbox::State {
	std::mutex lock;
	std::condition_variable changed;
	std::deque<Letter> letters;
	size_t queuedBytes = 0;
	// The thread waits for letters: a post must wake it.
	bool idle = false;
	bool sending = false;
	bool stalled = false;
	bool gone = false;
	bool closed = false;

	BMessenger target;
	Sender sender;
	size_t maxQueuedBytes;
	bigtime_t stallTimeout;

	void DropAll()
	{
		letters.clear();
		queuedBytes = 0;
	}

	void Run()
	{
		std::unique_lock<std::mutex> guard(lock);
		while (true) {
			if (letters.empty()) {
				idle = true;
				changed.wait(guard, [this] { return closed || !letters.empty(); });
				idle = false;
				changed.wait_for(guard, kGatherTime,
					[this] { return closed || letters.size() >= kBatchLetters; });
			}
			if (letters.empty() || stalled || gone)
				break;
			Letter letter = std::move(letters.front());
			letters.pop_front();
			queuedBytes -= letter.size;
			sending = true;
			guard.unlock();
			status_t status = sender(target, *letter.message, letter.replyTo, stallTimeout);
			guard.lock();
			sending = false;
			if (status == B_TIMED_OUT || status == B_WOULD_BLOCK)
				stalled = true;
			else if (status == B_BAD_PORT_ID)
				gone = true;
			// Any other failure concerns this message alone.
			if (stalled || gone)
				DropAll();
			changed.notify_all();
		}
		changed.notify_all();
	}
};

MessageOutbox::MessageOutbox(const BMessenger& target, Sender sender, size_t maxQueuedBytes,
	bigtime_t stallTimeout)
	:
	fTarget(target),
	fState(std::make_shared<State>())
{
	fState->target = target;
	fState->sender = sender ? std::move(sender) : Sender(SendDirectly);
	fState->maxQueuedBytes = maxQueuedBytes;
	fState->stallTimeout = stallTimeout;
}

MessageOutbox::~MessageOutbox()
{
	std::lock_guard<std::mutex> guard(fState->lock);
	fState->closed = true;
	fState->changed.notify_all();
}

bool MessageOutbox::Post(const BMessage& message, const BMessenger& replyTo)
{
	return _Post(message, nullptr, replyTo);
}

bool MessageOutbox::Post(std::shared_ptr<const BMessage> message, const BMessenger& replyTo)
{
	const BMessage& content = *message;
	return _Post(content, std::move(message), replyTo);
}

// While the target takes every message at once, the poster sends it
// itself: no copy, no thread. The first message it does not take within
// kDirectTimeout goes to the box's thread, and so does everything after.
bool MessageOutbox::_Post(const BMessage& message, std::shared_ptr<const BMessage> shared,
	const BMessenger& replyTo)
{
	if (!fQueueing) {
		if (IsDead())
			return false;
		status_t status = fState->sender(fTarget, message, replyTo, kDirectTimeout);
		if (status == B_BAD_PORT_ID) {
			std::lock_guard<std::mutex> guard(fState->lock);
			fState->gone = true;
			return false;
		}
		// Any failure but a full target concerns this message alone.
		if (status != B_TIMED_OUT && status != B_WOULD_BLOCK)
			return true;
		_StartQueueing();
	}
	if (shared == nullptr)
		shared = std::make_shared<const BMessage>(message);
	size_t size = FlatSize(*shared);
	std::lock_guard<std::mutex> guard(fState->lock);
	if (!_Queue(std::move(shared), replyTo, size))
		return false;
	if (fState->idle)
		fState->changed.notify_all();
	return true;
}

bool MessageOutbox::Post(const std::vector<std::shared_ptr<const BMessage>>& messages)
{
	if (messages.size() == 1)
		return Post(messages.front());
	if (IsDead())
		return false;
	if (messages.empty())
		return true;
	if (!fQueueing)
		_StartQueueing();
	std::vector<size_t> sizes;
	sizes.reserve(messages.size());
	for (const std::shared_ptr<const BMessage>& message : messages)
		sizes.push_back(FlatSize(*message));
	std::lock_guard<std::mutex> guard(fState->lock);
	for (size_t index = 0; index < messages.size(); index++) {
		if (!_Queue(messages[index], BMessenger(), sizes[index]))
			return false;
	}
	if (fState->idle)
		fState->changed.notify_all();
	return true;
}

void MessageOutbox::_StartQueueing()
{
	fQueueing = true;
	std::shared_ptr<State> state = fState;
	std::thread([state] { state->Run(); }).detach();
}

bool MessageOutbox::_Queue(std::shared_ptr<const BMessage> message, const BMessenger& replyTo,
	size_t size)
{
	if (fState->stalled || fState->gone)
		return false;
	if (fState->queuedBytes + size > fState->maxQueuedBytes) {
		fState->stalled = true;
		fState->DropAll();
		return false;
	}
	fState->letters.push_back({std::move(message), replyTo, size});
	fState->queuedBytes += size;
	return true;
}

bool MessageOutbox::IsStalled() const
{
	std::lock_guard<std::mutex> guard(fState->lock);
	return fState->stalled;
}

bool MessageOutbox::IsGone() const
{
	std::lock_guard<std::mutex> guard(fState->lock);
	return fState->gone;
}

void MessageOutbox::SendWithoutWaiting(const BMessenger& target, const BMessage& message)
{
	// The box's thread sends what it holds after the box is gone.
	(void)MessageOutbox(target).Post(message);
}

bool MessageOutbox::Flush(bigtime_t timeout)
{
	std::unique_lock<std::mutex> guard(fState->lock);
	State& state = *fState;
	return state.changed.wait_for(guard, std::chrono::microseconds(timeout), [&state] {
		return (state.letters.empty() && !state.sending) || state.stalled || state.gone;
	}) && !state.stalled && !state.gone;
}
