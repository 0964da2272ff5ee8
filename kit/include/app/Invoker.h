#pragma once

// BInvoker: a message and a target to send it to. Controls and menu items
// are invokers: Invoke() sends a copy of the message, with "when" (int64,
// microseconds) and "source" (a pointer to the invoker's owner) added, to the
// target (by default the looper the owner belongs to).

#include <memory>

#include <app/Messenger.h>

class BHandler;
class BLooper;
class BMessage;

class BInvoker {
public:
	BInvoker();
	explicit BInvoker(BMessage* message, const BHandler* handler = nullptr,
		const BLooper* looper = nullptr);
	virtual ~BInvoker();
	BInvoker(const BInvoker&) = delete;
	BInvoker& operator=(const BInvoker&) = delete;

	// Takes ownership of the message; null sends nothing.
	virtual status_t SetMessage(BMessage* message);
	BMessage* Message() const { return fMessage.get(); }
	uint32 Command() const;
	virtual status_t SetTarget(const BHandler* handler, const BLooper* looper = nullptr);
	virtual status_t SetTarget(BMessenger messenger);
	bool IsTargetLocal() const { return fTarget.IsTargetLocal(); }
	// The target handler, or null when the target is a looper's preferred
	// handler or in another process.
	BHandler* Target(BLooper** looper = nullptr) const;
	BMessenger Messenger() const { return fTarget; }

	// Sends the message given, or a copy of the invoker's own.
	virtual status_t Invoke(BMessage* message = nullptr);

protected:
	// The looper a target-less invoker sends to; null when there is none.
	virtual BLooper* _DefaultLooper() const { return nullptr; }
	// What "source" names.
	virtual const void* _Source() const { return this; }
	bool _HasTarget() const { return fTargetSet; }

private:
	std::unique_ptr<BMessage> fMessage;
	BMessenger fTarget;
	const BHandler* fTargetHandler = nullptr;
	bool fTargetSet = false;
};
