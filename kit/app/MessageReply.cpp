// The reply side of a message: where a delivered message's answer goes.

#include <app/Application.h>
#include <app/Message.h>

#include "MessageDelivery.h"
#include "MessageField.h"

using MorvaneKit::DeliveryOptions;

bool BMessage::WasDelivered() const
{
	return fDelivery != nullptr && fDelivery->delivered;
}

bool BMessage::IsSourceWaiting() const
{
	return WasDelivered() && fDelivery->sourceWaiting && !fDelivery->replied;
}

bool BMessage::IsSourceRemote() const
{
	return WasDelivered() && fDelivery->sourceTeam >= 0
		&& fDelivery->sourceTeam != current_team();
}

bool BMessage::IsReply() const
{
	return WasDelivered() && fDelivery->isReply;
}

BMessenger BMessage::ReturnAddress() const
{
	return WasDelivered() ? fDelivery->replyTo : BMessenger();
}

status_t BMessage::_SendNoReply()
{
	if (!IsSourceWaiting())
		return B_OK;
	fDelivery->replied = true;
	BMessage noReply(B_NO_REPLY);
	DeliveryOptions options;
	options.isReply = true;
	return MorvaneKit::Deliver(fDelivery->replyTo, noReply, options);
}

namespace {

// Where the reply to a delivered message goes: its return address, or the
// application when the sender named none.
BMessenger ReplyTarget(const BMessenger& returnAddress)
{
	if (returnAddress.Port() >= 0)
		return returnAddress;
	return be_app_messenger;
}

}	// namespace

// Where this message's reply goes; a request that waits is answered once.
status_t BMessage::_TakeReplyTarget(BMessenger* target)
{
	if (!WasDelivered())
		return B_BAD_REPLY;
	if (fDelivery->sourceWaiting && fDelivery->replied)
		return B_DUPLICATE_REPLY;
	*target = ReplyTarget(fDelivery->replyTo);
	if (target->Port() < 0)
		return B_BAD_REPLY;
	fDelivery->replied = true;
	return B_OK;
}

status_t BMessage::SendReply(uint32 command, BHandler* replyTo)
{
	BMessage reply(command);
	return SendReply(&reply, replyTo);
}

status_t BMessage::SendReply(const BMessage* reply, BHandler* replyTo, bigtime_t timeout)
{
	return SendReply(reply, replyTo != nullptr ? BMessenger(replyTo) : BMessenger(), timeout);
}

status_t BMessage::SendReply(const BMessage* reply, BMessenger replyTo, bigtime_t timeout)
{
	if (reply == nullptr)
		return B_BAD_VALUE;
	BMessenger target;
	status_t status = _TakeReplyTarget(&target);
	if (status != B_OK)
		return status;
	DeliveryOptions options;
	options.replyTo = replyTo;
	options.isReply = true;
	options.timeout = timeout;
	return MorvaneKit::Deliver(target, *reply, options);
}

status_t BMessage::SendReply(uint32 command, BMessage* replyToReply)
{
	BMessage reply(command);
	return SendReply(&reply, replyToReply);
}

status_t BMessage::SendReply(const BMessage* reply, BMessage* replyToReply,
	bigtime_t sendTimeout, bigtime_t replyTimeout)
{
	if (reply == nullptr || replyToReply == nullptr)
		return B_BAD_VALUE;
	BMessenger target;
	status_t status = _TakeReplyTarget(&target);
	if (status != B_OK)
		return status;
	return MorvaneKit::DeliverAndWait(target, *reply, replyToReply, true, sendTimeout,
		replyTimeout);
}
