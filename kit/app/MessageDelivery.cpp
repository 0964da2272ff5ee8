#include "MessageDelivery.h"

#include <atomic>

#include "MessageField.h"
#include "MessagePort.h"
#include "SocketTransport.h"

namespace MorvaneKit {

namespace {

std::atomic<RemoteTransport*> sRemoteTransport{nullptr};

std::unique_ptr<BMessage> StampedCopy(const BMessenger& target, const BMessage& message,
	const DeliveryOptions& options)
{
	auto copy = std::make_unique<BMessage>(message);
	MessageDeliveryInfo& delivery = MessageAccess::DeliveryOf(*copy);
	delivery.targetToken = target.HandlerToken();
	delivery.replyTo = options.replyTo;
	delivery.sourceWaiting = options.sourceWaiting;
	delivery.isReply = options.isReply;
	delivery.delivered = true;
	delivery.sourceTeam = current_team();
	return copy;
}

}	// namespace

status_t Deliver(const BMessenger& target, const BMessage& message,
	const DeliveryOptions& options)
{
	// A message that lost a value while it was built never leaves.
	if (message.InitCheck() != B_OK)
		return message.InitCheck();
	if (!target.IsTargetLocal()) {
		if (target.Team() <= 0 || target.Port() < 0)
			return B_BAD_PORT_ID;
		RemoteTransport* transport = GetRemoteTransport();
		auto copy = StampedCopy(target, message, options);
		status_t status = transport->Send(target, *copy, options.timeout);
		// The copy was only the carrier; it must not answer for the request.
		MessageAccess::ClearDelivery(*copy);
		return status;
	}
	auto port = MessagePort::Find(LocalPort(target));
	if (port == nullptr)
		return B_BAD_PORT_ID;
	return port->Push(StampedCopy(target, message, options));
}

status_t DeliverAll(const BMessenger& target, const BMessage* const* messages, size_t count,
	const DeliveryOptions& options)
{
	if (!target.IsTargetLocal()) {
		for (size_t index = 0; index < count; index++) {
			if (messages[index] == nullptr)
				return B_BAD_VALUE;
			status_t status = Deliver(target, *messages[index], options);
			if (status != B_OK)
				return status;
		}
		return B_OK;
	}
	std::vector<std::unique_ptr<BMessage>> copies;
	copies.reserve(count);
	status_t status = B_OK;
	for (size_t index = 0; index < count; index++) {
		const BMessage* message = messages[index];
		// As Deliver(): a message that lost a value while it was built
		// never leaves, nor does anything after it.
		status = message == nullptr ? B_BAD_VALUE : message->InitCheck();
		if (status != B_OK)
			break;
		copies.push_back(StampedCopy(target, *message, options));
	}
	if (!copies.empty()) {
		auto port = MessagePort::Find(LocalPort(target));
		if (port == nullptr)
			return B_BAD_PORT_ID;
		status_t pushed = port->PushAll(std::move(copies));
		if (pushed != B_OK)
			return pushed;
	}
	return status;
}

status_t DeliverAndWait(const BMessenger& target, const BMessage& message, BMessage* reply,
	bool isReply, bigtime_t deliveryTimeout, bigtime_t replyTimeout)
{
	if (reply == nullptr)
		return B_BAD_VALUE;
	if (target.IsTargetLocal()) {
		auto targetPort = MessagePort::Find(LocalPort(target));
		if (targetPort == nullptr)
			return B_BAD_PORT_ID;
		// A looper waiting for its own answer would wait forever.
		if (targetPort->OwnerThread() == find_thread(nullptr))
			return B_WOULD_BLOCK;
	}
	auto replyPort = MessagePort::Create();
	DeliveryOptions options;
	options.replyTo = BMessenger::FromParts(current_team(), replyPort->Id(), -1);
	options.sourceWaiting = true;
	options.isReply = isReply;
	options.timeout = deliveryTimeout;
	status_t status = Deliver(target, message, options);
	if (status != B_OK) {
		replyPort->Close();
		return status;
	}
	auto answer = replyPort->Pop(replyTimeout, &status);
	replyPort->Close();
	if (answer == nullptr)
		return status;
	*reply = std::move(*answer);
	return B_OK;
}

void SetRemoteTransport(RemoteTransport* transport)
{
	sRemoteTransport.store(transport);
}

RemoteTransport* GetRemoteTransport()
{
	RemoteTransport* transport = sRemoteTransport.load();
	return transport != nullptr ? transport : SocketTransport::Default();
}

port_id LocalPort(const BMessenger& target)
{
	return target.Port() == BMessenger::kApplicationPort
		? SocketTransport::ApplicationPort() : target.Port();
}

}	// namespace MorvaneKit
