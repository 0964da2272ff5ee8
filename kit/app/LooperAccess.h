#pragma once

// What the kit's event loops need of a looper beyond its public face: a
// looper dispatched from another event loop (the display's, on the main
// thread) instead of its own thread.

#include <functional>

#include <app/Looper.h>

#include "MessagePort.h"

namespace MorvaneKit {

class LooperAccess {
public:
	// Makes the looper one that the calling thread's event loop drives:
	// `queued` runs on whichever thread queues a message for it. A
	// synchronous send to it from that thread then fails at once instead of
	// waiting for itself.
	static void DriveFromEventLoop(BLooper* looper, std::function<void()> queued)
	{
		looper->fPort->SetOwnerThread(find_thread(nullptr));
		looper->fPort->SetPushHook(std::move(queued));
	}

	static void DispatchPending(BLooper* looper) { looper->_DispatchPending(); }
	static bool IsDispatching(const BLooper* looper) { return looper->fDispatching; }
	static bool IsTerminating(const BLooper* looper) { return looper->fTerminating; }
	static void MarkTerminating(BLooper* looper) { looper->_MarkTerminating(); }
	// The looper whose queue has that id, or null once it is gone.
	static BLooper* FromPort(port_id port)
	{
		std::shared_ptr<MessagePort> found = MessagePort::Find(port);
		return found != nullptr ? found->Owner() : nullptr;
	}
};

}	// namespace MorvaneKit
