#include "RecordingHandler.h"

RecordingHandler::RecordingHandler(const char* name, MessageInbox* inbox)
	:
	BHandler(name),
	fInbox(inbox != nullptr ? inbox : &fOwnInbox)
{
}

void RecordingHandler::MessageReceived(BMessage* message)
{
	fInbox->Add(*message);
	if (!message->IsSourceWaiting())
		return;
	BMessage reply(kRecordedReply);
	reply.AddInt32("what", int32(message->what));
	(void)message->SendReply(&reply);
}
