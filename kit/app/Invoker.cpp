#include <app/Invoker.h>

#include <app/Handler.h>
#include <app/Looper.h>
#include <app/Message.h>
#include <kernel/OS.h>

BInvoker::BInvoker() = default;


BInvoker::BInvoker(BMessage* message, const BHandler* handler, const BLooper* looper)
	:
	fMessage(message)
{
	if (handler != nullptr || looper != nullptr)
		(void)SetTarget(handler, looper);
}


BInvoker::~BInvoker() = default;


status_t BInvoker::SetMessage(BMessage* message)
{
	fMessage.reset(message);
	return B_OK;
}


uint32 BInvoker::Command() const
{
	return fMessage != nullptr ? fMessage->what : 0;
}


status_t BInvoker::SetTarget(const BHandler* handler, const BLooper* looper)
{
	fTargetHandler = handler;
	fTargetSet = handler != nullptr || looper != nullptr;
	if (!fTargetSet) {
		fTarget = BMessenger();
		return B_OK;
	}
	fTarget = BMessenger(handler, looper);
	return fTarget.IsValid() || handler != nullptr ? B_OK : B_BAD_VALUE;
}


status_t BInvoker::SetTarget(BMessenger messenger)
{
	fTarget = messenger;
	fTargetHandler = nullptr;
	fTargetSet = true;
	return B_OK;
}


BHandler* BInvoker::Target(BLooper** looper) const
{
	if (looper != nullptr)
		*looper = fTargetHandler != nullptr ? fTargetHandler->Looper() : nullptr;
	return const_cast<BHandler*>(fTargetHandler);
}


status_t BInvoker::Invoke(BMessage* message)
{
	BMessage* source = message != nullptr ? message : fMessage.get();
	if (source == nullptr)
		return B_BAD_VALUE;
	BMessage copy(*source);
	copy.AddInt64("when", system_time());
	copy.AddPointer("source", _Source());
	BMessenger target = fTarget;
	// A handler given before it joined a looper is reached once it has one.
	if (fTargetHandler != nullptr && !target.IsValid() && fTargetHandler->Looper() != nullptr)
		target = BMessenger(fTargetHandler);
	if (!fTargetSet) {
		BLooper* looper = _DefaultLooper();
		if (looper == nullptr)
			return B_BAD_PORT_ID;
		return looper->PostMessage(&copy);
	}
	return target.SendMessage(&copy);
}
