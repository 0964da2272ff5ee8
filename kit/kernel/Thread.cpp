#include <kernel/OS.h>

#include <pthread.h>

#include <algorithm>
#include <new>
#include <optional>

#include "ThreadKill.h"
#include "ThreadPlatform.h"
#include "ThreadRegistry.h"

using MorvaneKit::ThreadExitRequest;
using MorvaneKit::ThreadOrigin;
using MorvaneKit::ThreadRecord;
using MorvaneKit::ThreadRegistry;
using MorvaneKit::ThreadState;

namespace {

using RecordPointer = std::shared_ptr<ThreadRecord>;

// Does a spawned thread's closing bookkeeping however its function ends: by
// returning, by a kill or exit_thread(), or by a pthread_exit() of its own.
struct ThreadEnd {
	RecordPointer record;
	// The function's own return value, when it returned.
	std::optional<status_t> returned;

	~ThreadEnd()
	{
		ThreadRegistry& registry = ThreadRegistry::Default();
		std::lock_guard lock(registry.Lock());
		// A kill or exit_thread() has set the exit value already.
		if (returned)
			record->exitValue = *returned;
		else if (!record->ending)
			record->exitValue = B_ERROR;
		record->state = ThreadState::Ended;
		record->hasMessage = false;
		record->messageData = {};
		registry.NoteEnded(record);
		record->changed.notify_all();
	}
};

// Registers the new thread under its kernel id, lets spawn_thread() return
// and waits for resume_thread(). False when the thread was killed first.
bool StartThread(const RecordPointer& record)
{
	ThreadRegistry::SetCurrent(record);
	MorvaneKit::ApplyThreadPriority(record->priority);
	thread_id id = MorvaneKit::KernelThreadId();
	MorvaneKit::SetKernelThreadName(id, record->name);

	ThreadRegistry& registry = ThreadRegistry::Default();
	std::unique_lock lock(registry.Lock());
	record->id = id;
	registry.Insert(record);
	record->changed.notify_all();
	record->changed.wait(lock, record->stopSource.get_token(),
		[&] { return record->state != ThreadState::Suspended; });
	return !record->ending;
}

void* ThreadEntry(void* argument)
{
	RecordPointer* handedOver = static_cast<RecordPointer*>(argument);
	ThreadEnd end{std::move(*handedOver), std::nullopt};
	delete handedOver;

	if (!StartThread(end.record))
		return nullptr;
	try {
		end.returned = end.record->function(end.record->data);
	} catch (const ThreadExitRequest&) {
		// The exit value is the one the kill or exit_thread() set.
	}
	return nullptr;
}

// The record of a thread that has not ended, or null.
RecordPointer FindLiving(ThreadRegistry& registry, thread_id thread)
{
	RecordPointer record = registry.Find(thread);
	if (!record || record->state == ThreadState::Ended)
		return nullptr;
	return record;
}

// Marks a thread to end with exitValue unless it is ending already, and
// wakes whatever interruptible wait it is in. Expects the registry's lock.
void RequestEnd(const RecordPointer& record, status_t exitValue)
{
	if (!record->ending) {
		record->exitValue = exitValue;
		record->ending = true;
	}
	record->stopSource.request_stop();
	record->changed.notify_all();
}

} // namespace

thread_id spawn_thread(thread_func function, const char* name, int32 priority, void* data)
{
	if (function == nullptr)
		return B_BAD_VALUE;

	RecordPointer record;
	RecordPointer* handedOver;
	try {
		record.reset(new ThreadRecord);
		record->name = name != nullptr ? name : "unnamed thread";
		handedOver = new RecordPointer(record);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	record->origin = ThreadOrigin::Spawned;
	record->state = ThreadState::Suspended;
	record->function = function;
	record->data = data;
	record->priority = std::clamp<int32>(priority, B_IDLE_PRIORITY, B_REAL_TIME_PRIORITY);

	// Detached: the kit keeps the exit value itself, so nothing of the
	// system's thread outlives its end.
	pthread_attr_t attributes;
	pthread_attr_init(&attributes);
	pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
	pthread_t handle;
	int error = pthread_create(&handle, &attributes, ThreadEntry, handedOver);
	pthread_attr_destroy(&attributes);
	if (error != 0) {
		delete handedOver;
		return error == EAGAIN ? B_NO_MORE_THREADS : B_FROM_ERRNO(error);
	}

	ThreadRegistry& registry = ThreadRegistry::Default();
	std::unique_lock lock(registry.Lock());
	record->changed.wait(lock, [&] { return record->id >= 0; });
	return record->id;
}

status_t resume_thread(thread_id thread)
{
	ThreadRegistry& registry = ThreadRegistry::Default();
	std::lock_guard lock(registry.Lock());
	RecordPointer record = FindLiving(registry, thread);
	if (!record)
		return B_BAD_THREAD_ID;
	if (record->state != ThreadState::Suspended)
		return B_BAD_THREAD_STATE;
	record->state = ThreadState::Running;
	record->changed.notify_all();
	return B_OK;
}

status_t wait_for_thread(thread_id thread, status_t* exitValue)
{
	if (thread == ThreadRegistry::Current()->id)
		return B_DONT_DO_THAT;

	ThreadRegistry& registry = ThreadRegistry::Default();
	std::unique_lock lock(registry.Lock());
	RecordPointer record = registry.Find(thread);
	if (!record)
		return B_BAD_THREAD_ID;
	if (record->origin == ThreadOrigin::Adopted)
		return B_NOT_ALLOWED;
	if (record->state == ThreadState::Suspended) {
		record->state = ThreadState::Running;
		record->changed.notify_all();
	}
	status_t status = MorvaneKit::WaitInterruptible(record->changed, lock,
		B_INFINITE_TIMEOUT, [&] { return record->state == ThreadState::Ended; });
	if (status != B_OK)
		return status;
	// The exit value is taken: later waits find no thread.
	registry.Remove(record);
	if (exitValue != nullptr)
		*exitValue = record->exitValue;
	return B_OK;
}

status_t kill_thread(thread_id thread)
{
	const RecordPointer& self = ThreadRegistry::Current();
	ThreadRegistry& registry = ThreadRegistry::Default();
	std::unique_lock lock(registry.Lock());
	RecordPointer record = FindLiving(registry, thread);
	if (!record)
		return B_BAD_THREAD_ID;
	if (record->origin == ThreadOrigin::Adopted)
		return B_NOT_ALLOWED;
	RequestEnd(record, B_INTERRUPTED);
	if (record == self) {
		lock.unlock();
		// Ends here, unless the stack is unwinding already: then it ends
		// when the unwinding reaches the thread's entry.
		static_cast<void>(MorvaneKit::EndThreadIfKilled());
		return B_OK;
	}
	return MorvaneKit::WaitInterruptible(record->changed, lock, B_INFINITE_TIMEOUT,
		[&] { return record->state == ThreadState::Ended; });
}

void exit_thread(status_t exitValue)
{
	const RecordPointer& self = ThreadRegistry::Current();
	if (self->origin == ThreadOrigin::Adopted)
		pthread_exit(nullptr);
	{
		ThreadRegistry& registry = ThreadRegistry::Default();
		std::lock_guard lock(registry.Lock());
		RequestEnd(self, exitValue);
	}
	throw ThreadExitRequest{};
}

thread_id find_thread(const char* name)
{
	if (name == nullptr)
		return ThreadRegistry::Current()->id;
	ThreadRegistry& registry = ThreadRegistry::Default();
	std::lock_guard lock(registry.Lock());
	return registry.FindByName(name);
}

status_t rename_thread(thread_id thread, const char* name)
{
	if (name == nullptr)
		return B_BAD_VALUE;
	ThreadRegistry& registry = ThreadRegistry::Default();
	std::lock_guard lock(registry.Lock());
	RecordPointer record = FindLiving(registry, thread);
	if (!record)
		return B_BAD_THREAD_ID;
	record->name = name;
	MorvaneKit::SetKernelThreadName(thread, record->name);
	return B_OK;
}
