// The one-message mailbox of every thread: send_data, receive_data, has_data.

#include <kernel/OS.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "ThreadKill.h"
#include "ThreadRegistry.h"

using MorvaneKit::ThreadRecord;
using MorvaneKit::ThreadRegistry;
using MorvaneKit::ThreadState;

status_t send_data(thread_id thread, int32 code, const void* buffer, size_t bufferSize)
{
	if (bufferSize > B_MAX_THREAD_DATA_SIZE || (buffer == nullptr && bufferSize > 0))
		return B_BAD_VALUE;
	// Copied before taking the lock, so that a huge copy never holds up
	// other threads.
	std::vector<uint8> data;
	try {
		const uint8* bytes = static_cast<const uint8*>(buffer);
		data.assign(bytes, bytes + bufferSize);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}

	const std::shared_ptr<ThreadRecord>& self = ThreadRegistry::Current();
	ThreadRegistry& registry = ThreadRegistry::Default();
	std::unique_lock lock(registry.Lock());
	std::shared_ptr<ThreadRecord> target = registry.Find(thread);
	if (!target || target->state == ThreadState::Ended)
		return B_BAD_THREAD_ID;
	// Waiting for oneself to read the mailbox would never end.
	if (target == self && target->hasMessage)
		return B_WOULD_BLOCK;

	status_t status = MorvaneKit::WaitInterruptible(target->changed, lock, B_INFINITE_TIMEOUT,
		[&] { return !target->hasMessage || target->state == ThreadState::Ended; });
	if (status != B_OK)
		return status;
	if (target->state == ThreadState::Ended)
		return B_BAD_THREAD_ID;

	target->hasMessage = true;
	target->messageCode = code;
	target->messageSender = self->id;
	target->messageData = std::move(data);
	target->changed.notify_all();
	return B_OK;
}

int32 receive_data(thread_id* sender, void* buffer, size_t bufferSize)
{
	const std::shared_ptr<ThreadRecord>& self = ThreadRegistry::Current();
	ThreadRegistry& registry = ThreadRegistry::Default();
	std::unique_lock lock(registry.Lock());
	status_t status = MorvaneKit::WaitInterruptible(self->changed, lock, B_INFINITE_TIMEOUT,
		[&] { return self->hasMessage; });
	if (status != B_OK)
		return status;

	if (buffer != nullptr) {
		size_t size = std::min(bufferSize, self->messageData.size());
		if (size > 0)
			memcpy(buffer, self->messageData.data(), size);
	}
	if (sender != nullptr)
		*sender = self->messageSender;
	int32 code = self->messageCode;
	self->hasMessage = false;
	self->messageData = {};
	// Wakes a sender blocked on the full mailbox.
	self->changed.notify_all();
	return code;
}

bool has_data(thread_id thread)
{
	ThreadRegistry& registry = ThreadRegistry::Default();
	std::lock_guard lock(registry.Lock());
	std::shared_ptr<ThreadRecord> record = registry.Find(thread);
	return record && record->hasMessage;
}
