#pragma once

// Passing a message on to another looper as it came.

#include <app/Message.h>
#include <app/Messenger.h>

// Sends a copy of message to target; replies to it go where replies to the
// original would have gone.
inline status_t ForwardMessage(const BMessenger& target, BMessage* message)
{
	return target.SendMessage(message, message->ReturnAddress());
}
