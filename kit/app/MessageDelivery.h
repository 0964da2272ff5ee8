#pragma once

// How a message reaches the looper a messenger names: a copy with a fresh
// delivery block goes into the looper's port, in this process directly and
// to other processes through the remote transport once one is installed.

#include <app/Message.h>
#include <app/Messenger.h>

namespace MorvaneKit {

struct DeliveryOptions {
	BMessenger replyTo;          // where the receiver's reply goes
	bool sourceWaiting = false;  // the sender waits for a reply
	bool isReply = false;
	bigtime_t timeout = B_INFINITE_TIMEOUT;
};

status_t Deliver(const BMessenger& target, const BMessage& message,
	const DeliveryOptions& options);
// Delivers count messages in order up to the first that fails; in this
// process into the port in one step.
status_t DeliverAll(const BMessenger& target, const BMessage* const* messages, size_t count,
	const DeliveryOptions& options);

// Delivers the message with a reply port of its own and waits for the reply
// (a B_NO_REPLY message when the receiver drops the request).
status_t DeliverAndWait(const BMessenger& target, const BMessage& message, BMessage* reply,
	bool isReply, bigtime_t deliveryTimeout, bigtime_t replyTimeout);

// Carries messages to loopers of other processes.
class RemoteTransport {
public:
	virtual ~RemoteTransport() = default;
	// The message already holds its delivery block.
	virtual status_t Send(const BMessenger& target, const BMessage& message,
		bigtime_t timeout) = 0;
	virtual bool IsValid(const BMessenger& target) = 0;
};

// Installs a transport other than the sockets; the kit does not own it and
// it must outlive every messenger use.
void SetRemoteTransport(RemoteTransport* transport);
RemoteTransport* GetRemoteTransport();

// The port in this process that a local messenger names; the application
// port for BMessenger::kApplicationPort.
port_id LocalPort(const BMessenger& target);

}	// namespace MorvaneKit
