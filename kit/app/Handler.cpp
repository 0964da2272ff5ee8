#include <app/Handler.h>

#include <app/Looper.h>
#include <app/Message.h>

#include "HandlerTokens.h"

BHandler::BHandler(const char* name)
	:
	fName(name != nullptr ? name : ""),
	fToken(MorvaneKit::HandlerTokens::Add(this))
{
}

BHandler::~BHandler()
{
	if (fLooper != nullptr && fLooper != this)
		fLooper->RemoveHandler(this);
	MorvaneKit::HandlerTokens::Remove(fToken);
}

void BHandler::MessageReceived(BMessage* message)
{
	if (fNextHandler != nullptr) {
		fNextHandler->MessageReceived(message);
		return;
	}
	if (message->IsSourceWaiting()) {
		BMessage reply(B_MESSAGE_NOT_UNDERSTOOD);
		reply.AddInt32("what", int32(message->what));
		// A sender that is gone misses the answer; there is no one else to tell.
		(void)message->SendReply(&reply);
	}
}

bool BHandler::LockLooper()
{
	return fLooper != nullptr && fLooper->Lock();
}

void BHandler::UnlockLooper()
{
	if (fLooper != nullptr)
		fLooper->Unlock();
}
