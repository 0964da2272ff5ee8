#include <app/Looper.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include <app/Message.h>

#include "HandlerTokens.h"
#include "LooperLock.h"
#include "MessageField.h"
#include "MessagePort.h"

using MorvaneKit::MessagePort;

namespace {

struct LooperThreads {
	std::mutex lock;
	std::unordered_map<thread_id, BLooper*> loopers;
};

LooperThreads& Threads()
{
	static LooperThreads* threads = new LooperThreads;
	return *threads;
}

void RegisterThread(thread_id thread, BLooper* looper)
{
	LooperThreads& threads = Threads();
	std::lock_guard<std::mutex> guard(threads.lock);
	if (looper != nullptr)
		threads.loopers[thread] = looper;
	else
		threads.loopers.erase(thread);
}

}	// namespace

BLooper::BLooper(const char* name, int32 priority, int32 portCapacity)
	:
	BHandler(name),
	fPort(MessagePort::Create()),
	fLock(std::make_unique<MorvaneKit::LooperLock>()),
	fPriority(priority)
{
	fPort->SetOwner(this);
	_SetLooper(this);
	fHandlers.push_back(this);
}

BLooper::~BLooper()
{
	// Closing first makes every messenger to this looper invalid and answers
	// the senders of still queued requests with B_NO_REPLY.
	fPort->Close();
	for (BHandler* handler : fHandlers) {
		if (handler != this)
			handler->_SetLooper(nullptr);
	}
	fHandlers.clear();
	if (fThread >= 0)
		RegisterThread(fThread, nullptr);
	delete fCurrentMessage;
}

thread_id BLooper::Run()
{
	if (fThread >= 0)
		return B_BUSY;
	thread_id thread = spawn_thread(_ThreadEntry, Name(), fPriority, this);
	if (thread < 0)
		return thread;
	_SetThread(thread);
	status_t status = resume_thread(thread);
	if (status != B_OK)
		return status;
	return thread;
}

status_t BLooper::_ThreadEntry(void* data)
{
	BLooper* looper = static_cast<BLooper*>(data);
	looper->_Loop();
	delete looper;
	return B_OK;
}

void BLooper::_Loop()
{
	while (!fTerminating) {
		status_t status;
		std::unique_ptr<BMessage> message = fPort->Pop(B_INFINITE_TIMEOUT, &status);
		if (message == nullptr) {
			if (status == B_INTERRUPTED)
				continue;
			break;
		}
		if (fTerminating || fLock->Lock(B_INFINITE_TIMEOUT) != B_OK)
			break;
		// Quit() from another thread may have run while we waited for the
		// lock; the message is then dropped with the rest of the queue.
		if (fTerminating) {
			fLock->Unlock();
			break;
		}
		_DispatchOne(message.release());
		fLock->Unlock();
	}
}

void BLooper::_DispatchPending()
{
	if (fDispatching)
		return;
	fDispatching = true;
	while (!fTerminating) {
		status_t status;
		std::unique_ptr<BMessage> message = fPort->Pop(0, &status);
		if (message == nullptr)
			break;
		if (fLock->Lock(B_INFINITE_TIMEOUT) != B_OK)
			break;
		if (fTerminating) {
			fLock->Unlock();
			break;
		}
		_DispatchOne(message.release());
		fLock->Unlock();
	}
	fDispatching = false;
}


void BLooper::_DispatchOne(BMessage* message)
{
	fCurrentMessage = message;
	BHandler* handler = _ResolveTarget(MorvaneKit::MessageAccess::TargetToken(*message));
	// A message for a handler that left this looper is dropped.
	if (handler != nullptr)
		DispatchMessage(message, handler);
	delete fCurrentMessage;
	fCurrentMessage = nullptr;
}

BHandler* BLooper::_ResolveTarget(int32 handlerToken) const
{
	if (handlerToken < 0)
		return fPreferredHandler != nullptr ? fPreferredHandler : const_cast<BLooper*>(this);
	BHandler* handler = MorvaneKit::HandlerTokens::Find(handlerToken);
	return handler != nullptr && handler->Looper() == this ? handler : nullptr;
}

void BLooper::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (message->what == B_QUIT_REQUESTED && handler == this) {
		bool quit = QuitRequested();
		if (message->IsSourceWaiting()) {
			BMessage reply(B_REPLY);
			reply.AddBool("result", quit);
			// A sender that is gone misses the answer; the looper quits or
			// stays all the same.
			(void)message->SendReply(&reply);
		}
		if (quit)
			Quit();
		return;
	}
	handler->MessageReceived(message);
}

bool BLooper::QuitRequested()
{
	return true;
}

void BLooper::_MarkTerminating()
{
	// Once the flag is set the looper's thread may delete the looper at any
	// moment, so nothing of it is touched after that but the port we hold.
	std::shared_ptr<MessagePort> port = fPort;
	fTerminating = true;
	port->Wake();
}

void BLooper::Quit()
{
	if (fThread < 0) {
		delete this;
		return;
	}
	if (find_thread(nullptr) == fThread) {
		_MarkTerminating();
		return;
	}
	// From another thread: holding the lock keeps the looper from being in
	// the middle of a message while it is told to end.
	if (!fLock->IsLockedByCaller())
		fLock->Lock(B_INFINITE_TIMEOUT);
	thread_id thread = fThread;
	fLock->UnlockAll();
	_MarkTerminating();
	status_t exitValue;
	// Fails only for a thread that has ended already, which is what is
	// waited for.
	(void)wait_for_thread(thread, &exitValue);
}

status_t BLooper::PostMessage(uint32 command)
{
	BMessage message(command);
	return PostMessage(&message, nullptr, nullptr);
}

status_t BLooper::PostMessage(const BMessage* message)
{
	return PostMessage(message, nullptr, nullptr);
}

status_t BLooper::PostMessage(uint32 command, BHandler* handler, BHandler* replyTo)
{
	BMessage message(command);
	return PostMessage(&message, handler, replyTo);
}

status_t BLooper::PostMessage(const BMessage* message, BHandler* handler, BHandler* replyTo)
{
	if (message == nullptr)
		return B_BAD_VALUE;
	if (handler != nullptr && handler->Looper() != this)
		return B_MISMATCHED_VALUES;
	BMessenger target = handler != nullptr
		? BMessenger::FromParts(current_team(), Port(), handler->Token())
		: BMessenger::FromParts(current_team(), Port(), -1);
	return target.SendMessage(message, replyTo);
}

BMessage* BLooper::DetachCurrentMessage()
{
	BMessage* message = fCurrentMessage;
	fCurrentMessage = nullptr;
	return message;
}

int32 BLooper::DropQueuedMessages()
{
	return fPort->DropIf([](const BMessage&) { return true; });
}

int32 BLooper::DropQueuedMessages(uint32 what)
{
	return fPort->DropIf([what](const BMessage& message) { return message.what == what; });
}

int32 BLooper::CountQueuedMessages() const
{
	return fPort->Count();
}

void BLooper::AddHandler(BHandler* handler)
{
	if (handler == nullptr || handler->Looper() == this)
		return;
	if (handler->Looper() != nullptr)
		handler->Looper()->RemoveHandler(handler);
	fHandlers.push_back(handler);
	handler->_SetLooper(this);
}

bool BLooper::RemoveHandler(BHandler* handler)
{
	if (handler == nullptr || handler == this)
		return false;
	auto it = std::find(fHandlers.begin(), fHandlers.end(), handler);
	if (it == fHandlers.end())
		return false;
	fHandlers.erase(it);
	handler->_SetLooper(nullptr);
	if (fPreferredHandler == handler)
		fPreferredHandler = nullptr;
	return true;
}

BHandler* BLooper::HandlerAt(int32 index) const
{
	if (index < 0 || size_t(index) >= fHandlers.size())
		return nullptr;
	return fHandlers[size_t(index)];
}

int32 BLooper::IndexOf(BHandler* handler) const
{
	auto it = std::find(fHandlers.begin(), fHandlers.end(), handler);
	return it == fHandlers.end() ? -1 : int32(it - fHandlers.begin());
}

bool BLooper::Lock()
{
	return fLock->Lock(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BLooper::LockWithTimeout(bigtime_t timeout)
{
	return fLock->Lock(timeout);
}

void BLooper::Unlock()
{
	fLock->Unlock();
}

bool BLooper::IsLocked() const
{
	return fLock->IsLockedByCaller();
}

thread_id BLooper::LockingThread() const
{
	return fLock->Owner();
}

int32 BLooper::CountLocks() const
{
	return fLock->Count();
}

port_id BLooper::Port() const
{
	return fPort->Id();
}

team_id BLooper::Team() const
{
	return current_team();
}

BLooper* BLooper::LooperForThread(thread_id thread)
{
	LooperThreads& threads = Threads();
	std::lock_guard<std::mutex> guard(threads.lock);
	auto it = threads.loopers.find(thread);
	return it == threads.loopers.end() ? nullptr : it->second;
}

void BLooper::_SetThread(thread_id thread)
{
	if (fThread >= 0)
		RegisterThread(fThread, nullptr);
	fThread = thread;
	fPort->SetOwnerThread(thread);
	if (thread >= 0)
		RegisterThread(thread, this);
}
