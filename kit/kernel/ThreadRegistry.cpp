#include "ThreadRegistry.h"

#include <pthread.h>

#include "ThreadPlatform.h"

namespace MorvaneKit {

namespace {

// The calling thread's record. An adopted thread leaves the registry when it
// exits; a spawned thread's entry function has done the bookkeeping by then.
struct CurrentThread {
	std::shared_ptr<ThreadRecord> record;

	~CurrentThread()
	{
		if (!record || record->origin != ThreadOrigin::Adopted)
			return;
		ThreadRegistry& registry = ThreadRegistry::Default();
		std::lock_guard lock(registry.Lock());
		record->state = ThreadState::Ended;
		record->hasMessage = false;
		record->messageData = {};
		registry.Remove(record);
		// Senders blocked on the full mailbox learn that the thread is gone.
		record->changed.notify_all();
	}
};

thread_local CurrentThread sCurrentThread;

} // namespace

ThreadRegistry& ThreadRegistry::Default()
{
	static ThreadRegistry* sRegistry = new ThreadRegistry;
	return *sRegistry;
}

ThreadRegistry::ThreadRegistry()
{
	pthread_atfork(_PrepareFork, _ParentAfterFork, _ChildAfterFork);
}

std::shared_ptr<ThreadRecord> ThreadRegistry::Find(thread_id thread) const
{
	auto found = fThreads.find(thread);
	if (found == fThreads.end())
		return nullptr;
	return found->second;
}

void ThreadRegistry::Insert(const std::shared_ptr<ThreadRecord>& record)
{
	auto [entry, inserted] = fThreads.try_emplace(record->id, record);
	if (inserted)
		return;
	// Whoever still waits on the stale record must not wait forever.
	std::shared_ptr<ThreadRecord> stale = std::move(entry->second);
	entry->second = record;
	stale->state = ThreadState::Ended;
	stale->changed.notify_all();
}

void ThreadRegistry::Remove(const std::shared_ptr<ThreadRecord>& record)
{
	auto found = fThreads.find(record->id);
	if (found != fThreads.end() && found->second == record)
		fThreads.erase(found);
}

void ThreadRegistry::NoteEnded(const std::shared_ptr<ThreadRecord>& record)
{
	fEnded.push_back(record);
	while (fEnded.size() > kKeptEndedThreads) {
		// Threads already waiting hold the record and still get its exit
		// value; only later waits miss it.
		std::shared_ptr<ThreadRecord> oldest = fEnded.front().lock();
		fEnded.pop_front();
		if (oldest)
			Remove(oldest);
	}
}

thread_id ThreadRegistry::FindByName(const char* name) const
{
	for (const auto& [id, record] : fThreads) {
		if (record->state != ThreadState::Ended && record->name == name)
			return id;
	}
	return B_NAME_NOT_FOUND;
}

const std::shared_ptr<ThreadRecord>& ThreadRegistry::Current()
{
	CurrentThread& current = sCurrentThread;
	if (current.record)
		return current.record;

	std::shared_ptr<ThreadRecord> record(new ThreadRecord);
	record->id = KernelThreadId();
	record->origin = ThreadOrigin::Adopted;
	record->state = ThreadState::Running;
	record->name = KernelThreadName();
	{
		ThreadRegistry& registry = Default();
		std::lock_guard lock(registry.fLock);
		registry.Insert(record);
	}
	current.record = std::move(record);
	return current.record;
}

void ThreadRegistry::SetCurrent(const std::shared_ptr<ThreadRecord>& record)
{
	sCurrentThread.record = record;
}

void ThreadRegistry::_PrepareFork()
{
	Default().fLock.lock();
}

void ThreadRegistry::_ParentAfterFork()
{
	Default().fLock.unlock();
}

// The child has only the forking thread. The other records name threads of
// the parent; they are abandoned, not destroyed, because destroying a
// condition that a parent thread was waiting on would block for good.
void ThreadRegistry::_ChildAfterFork()
{
	ThreadRegistry& registry = Default();
	static_cast<void>(new decltype(fThreads)(std::move(registry.fThreads)));
	registry.fThreads.clear();
	registry.fEnded.clear();

	std::shared_ptr<ThreadRecord>& current = sCurrentThread.record;
	if (current) {
		static_cast<void>(new std::shared_ptr<ThreadRecord>(current));
		std::shared_ptr<ThreadRecord> record(new ThreadRecord);
		record->id = KernelThreadId();
		record->origin = current->origin;
		record->state = ThreadState::Running;
		record->name = current->name;
		record->function = current->function;
		record->data = current->data;
		record->priority = current->priority;
		record->exitValue = current->exitValue;
		if (current->ending) {
			record->ending = true;
			record->stopSource.request_stop();
		}
		registry.fThreads.emplace(record->id, record);
		current = std::move(record);
	}
	registry.fLock.unlock();
}

} // namespace MorvaneKit
