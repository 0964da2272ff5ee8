#include <app/Messenger.h>

#include <strings.h>
#include <tuple>

#include <app/Application.h>
#include <app/Roster.h>

#include <app/Looper.h>
#include <app/Message.h>

#include "HandlerTokens.h"
#include "MessageDelivery.h"
#include "MessagePort.h"

using MorvaneKit::DeliveryOptions;
using MorvaneKit::HandlerTokens;
using MorvaneKit::MessagePort;

BMessenger::BMessenger(const BHandler* handler, const BLooper* looper, status_t* result)
{
	status_t status = B_OK;
	if (handler != nullptr) {
		const BLooper* owner = handler->Looper();
		if (owner == nullptr) {
			status = B_MISMATCHED_VALUES;
		} else if (looper != nullptr && looper != owner) {
			status = B_MISMATCHED_VALUES;
		} else {
			fTeam = current_team();
			fPort = owner->Port();
			fHandlerToken = handler->Token();
		}
	} else if (looper != nullptr) {
		fTeam = current_team();
		fPort = looper->Port();
	} else {
		status = B_BAD_VALUE;
	}
	if (result != nullptr)
		*result = status;
}

BMessenger::BMessenger(const char* signature, team_id team, status_t* result)
{
	status_t status = B_OK;
	if (team < 0) {
		team = signature != nullptr ? be_roster->TeamFor(signature) : -1;
		if (team < 0)
			status = B_BAD_VALUE;
	} else if (team == current_team()) {
		if (be_app == nullptr || (signature != nullptr
				&& strcasecmp(be_app->Signature(), signature) != 0)) {
			status = B_BAD_TEAM_ID;
		}
	} else {
		app_info info;
		status = be_roster->GetRunningAppInfo(team, &info);
		if (status == B_OK && signature != nullptr
			&& strcasecmp(info.signature.c_str(), signature) != 0) {
			status = B_MISMATCHED_VALUES;
		}
	}
	if (status == B_OK) {
		fTeam = team;
		fPort = kApplicationPort;
	}
	if (result != nullptr)
		*result = status;
}

BMessenger BMessenger::FromParts(team_id team, port_id port, int32 handlerToken)
{
	BMessenger messenger;
	messenger.fTeam = team;
	messenger.fPort = port;
	messenger.fHandlerToken = handlerToken;
	return messenger;
}

bool BMessenger::IsTargetLocal() const
{
	return fTeam == current_team();
}

bool BMessenger::IsValid() const
{
	if (fPort < 0 || fTeam < 0)
		return false;
	if (!IsTargetLocal()) {
		return MorvaneKit::GetRemoteTransport()->IsValid(*this);
	}
	auto port = MessagePort::Find(MorvaneKit::LocalPort(*this));
	if (port == nullptr)
		return false;
	if (fHandlerToken < 0)
		return true;
	BHandler* handler = HandlerTokens::Find(fHandlerToken);
	return handler != nullptr && handler->Looper() == port->Owner();
}

BHandler* BMessenger::Target(BLooper** looper) const
{
	if (looper != nullptr)
		*looper = nullptr;
	if (!IsTargetLocal())
		return nullptr;
	auto port = MessagePort::Find(MorvaneKit::LocalPort(*this));
	BLooper* owner = port != nullptr ? port->Owner() : nullptr;
	if (owner == nullptr)
		return nullptr;
	if (looper != nullptr)
		*looper = owner;
	if (fHandlerToken < 0)
		return owner->PreferredHandler();
	BHandler* handler = HandlerTokens::Find(fHandlerToken);
	return handler != nullptr && handler->Looper() == owner ? handler : nullptr;
}

bool BMessenger::LockTarget() const
{
	BLooper* looper;
	Target(&looper);
	return looper != nullptr && looper->Lock();
}

status_t BMessenger::SendMessage(uint32 command, BHandler* replyTo) const
{
	BMessage message(command);
	return SendMessage(&message, replyTo);
}

status_t BMessenger::SendMessage(const BMessage* message, BHandler* replyTo,
	bigtime_t timeout) const
{
	return SendMessage(message, replyTo != nullptr ? BMessenger(replyTo) : BMessenger(),
		timeout);
}

status_t BMessenger::SendMessage(const BMessage* message, BMessenger replyTo,
	bigtime_t timeout) const
{
	if (message == nullptr)
		return B_BAD_VALUE;
	DeliveryOptions options;
	options.replyTo = replyTo;
	options.timeout = timeout;
	return MorvaneKit::Deliver(*this, *message, options);
}

status_t BMessenger::SendMessages(const BMessage* const* messages, size_t count,
	bigtime_t timeout) const
{
	if (messages == nullptr && count > 0)
		return B_BAD_VALUE;
	DeliveryOptions options;
	options.timeout = timeout;
	return MorvaneKit::DeliverAll(*this, messages, count, options);
}

status_t BMessenger::SendMessage(uint32 command, BMessage* reply) const
{
	BMessage message(command);
	return SendMessage(&message, reply);
}

status_t BMessenger::SendMessage(const BMessage* message, BMessage* reply,
	bigtime_t deliveryTimeout, bigtime_t replyTimeout) const
{
	if (message == nullptr)
		return B_BAD_VALUE;
	return MorvaneKit::DeliverAndWait(*this, *message, reply, false, deliveryTimeout,
		replyTimeout);
}

bool BMessenger::operator==(const BMessenger& other) const
{
	return fTeam == other.fTeam && fPort == other.fPort
		&& fHandlerToken == other.fHandlerToken;
}

bool BMessenger::operator<(const BMessenger& other) const
{
	return std::tie(fTeam, fPort, fHandlerToken)
		< std::tie(other.fTeam, other.fPort, other.fHandlerToken);
}
