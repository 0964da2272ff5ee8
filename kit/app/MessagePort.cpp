#include "MessagePort.h"

#include <unordered_map>

#include "KillableWait.h"

namespace MorvaneKit {

namespace {

struct PortTable {
	std::mutex lock;
	std::unordered_map<port_id, std::weak_ptr<MessagePort>> ports;
	port_id nextId = 1;
};

PortTable& Table()
{
	// Never destroyed: loopers may still close ports while the process exits.
	static PortTable* table = new PortTable;
	return *table;
}

}	// namespace

MessagePort::MessagePort() = default;

MessagePort::~MessagePort()
{
	Close();
}

std::shared_ptr<MessagePort> MessagePort::Create()
{
	auto port = std::make_shared<MessagePort>();
	PortTable& table = Table();
	std::lock_guard<std::mutex> guard(table.lock);
	do {
		port->fId = table.nextId;
		table.nextId = table.nextId == INT32_MAX ? 1 : table.nextId + 1;
	} while (table.ports.count(port->fId) != 0);
	table.ports[port->fId] = port;
	return port;
}

std::shared_ptr<MessagePort> MessagePort::Find(port_id id)
{
	PortTable& table = Table();
	std::lock_guard<std::mutex> guard(table.lock);
	auto it = table.ports.find(id);
	if (it == table.ports.end())
		return nullptr;
	auto port = it->second.lock();
	if (port == nullptr || port->IsClosed())
		return nullptr;
	return port;
}

void MessagePort::_Unregister(port_id id)
{
	PortTable& table = Table();
	std::lock_guard<std::mutex> guard(table.lock);
	table.ports.erase(id);
}

status_t MessagePort::Push(std::unique_ptr<BMessage> message)
{
	if (_Enqueue(&message, 1))
		return B_OK;
	// The refused message is destroyed outside the lock: its destructor may
	// send a B_NO_REPLY.
	message.reset();
	return B_BAD_PORT_ID;
}

status_t MessagePort::PushAll(std::vector<std::unique_ptr<BMessage>> messages)
{
	if (messages.empty() || _Enqueue(messages.data(), messages.size()))
		return B_OK;
	messages.clear();
	return B_BAD_PORT_ID;
}

bool MessagePort::_Enqueue(std::unique_ptr<BMessage>* messages, size_t count)
{
	std::function<void()> hook;
	bool wasEmpty;
	{
		std::lock_guard<std::mutex> guard(fLock);
		if (fClosed)
			return false;
		wasEmpty = fQueue.empty();
		for (size_t index = 0; index < count; index++)
			fQueue.push_back(std::move(messages[index]));
		if (fPushHook)
			hook = fPushHook;
	}
	// The reader waits on an empty queue only; woken outside the lock, it
	// does not run into the lock still held here.
	if (wasEmpty)
		fCondition.notify_one();
	if (hook) {
		for (size_t index = 0; index < count; index++)
			hook();
	}
	return true;
}

std::unique_ptr<BMessage> MessagePort::Pop(bigtime_t timeout, status_t* status)
{
	std::unique_lock<std::mutex> guard(fLock);
	*status = KillableWait(guard, fCondition, timeout,
		[this] { return fClosed || fWoken || !fQueue.empty(); });
	if (*status != B_OK)
		return nullptr;
	if (!fQueue.empty()) {
		auto message = std::move(fQueue.front());
		fQueue.pop_front();
		*status = B_OK;
		return message;
	}
	*status = fClosed ? B_BAD_PORT_ID : B_INTERRUPTED;
	fWoken = false;
	return nullptr;
}

void MessagePort::Wake()
{
	std::lock_guard<std::mutex> guard(fLock);
	fWoken = true;
	fCondition.notify_all();
}

void MessagePort::Close()
{
	std::deque<std::unique_ptr<BMessage>> dropped;
	{
		std::lock_guard<std::mutex> guard(fLock);
		if (fClosed)
			return;
		fClosed = true;
		fOwner = nullptr;
		fPushHook = nullptr;
		dropped.swap(fQueue);
		fCondition.notify_all();
	}
	_Unregister(fId);
	// Destroying the messages answers waiting senders with B_NO_REPLY.
	dropped.clear();
}

bool MessagePort::IsClosed() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fClosed;
}

int32 MessagePort::Count() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return int32(fQueue.size());
}

int32 MessagePort::DropIf(const std::function<bool(const BMessage&)>& predicate)
{
	std::deque<std::unique_ptr<BMessage>> dropped;
	{
		std::lock_guard<std::mutex> guard(fLock);
		std::deque<std::unique_ptr<BMessage>> kept;
		for (auto& message : fQueue) {
			if (predicate(*message))
				dropped.push_back(std::move(message));
			else
				kept.push_back(std::move(message));
		}
		fQueue.swap(kept);
	}
	int32 count = int32(dropped.size());
	dropped.clear();
	return count;
}

void MessagePort::SetPushHook(std::function<void()> hook)
{
	std::lock_guard<std::mutex> guard(fLock);
	fPushHook = std::move(hook);
}


BLooper* MessagePort::Owner() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fOwner;
}

void MessagePort::SetOwner(BLooper* looper)
{
	std::lock_guard<std::mutex> guard(fLock);
	fOwner = looper;
}

thread_id MessagePort::OwnerThread() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fOwnerThread;
}

void MessagePort::SetOwnerThread(thread_id thread)
{
	std::lock_guard<std::mutex> guard(fLock);
	fOwnerThread = thread;
}

}	// namespace MorvaneKit
