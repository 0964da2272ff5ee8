#pragma once

// Messages between processes travel over Unix stream sockets in the runtime
// folder. Every process that talks to others listens on "<team>.sock"; to
// send, it connects to the target team's socket once and keeps the
// connection. A connection carries frames one way only:
//
//   0  4  magic "MVFR"
//   4  4  target port in the receiving process (int32; 0 = its application)
//   8  4  payload length, at most kMaxFramePayload
//  12     payload: the flattened message with its delivery block
//
// The receiving side (FrameReceiver) accepts only peers of its own user,
// serves every connection from one thread, and closes a connection at the
// first frame it cannot read (bad magic, too long, not a message); the
// frames before it were delivered, nothing after it is. Replies travel back
// over a connection of the replying process to the sender's socket.
//
// The transport is a process-wide object that is never destroyed: its
// threads may still run while the process exits.

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "MessageDelivery.h"

namespace MorvaneKit {

constexpr char kFrameMagic[4] = {'M', 'V', 'F', 'R'};
constexpr size_t kFrameHeaderSize = 12;
constexpr uint32 kMaxFramePayload = 128u << 20;

// A line on standard error about the transport of this process.
void LogTransport(const char* what, const char* detail);
// True when the socket's peer runs as our user (and, when team is not
// negative, is that process).
bool IsTrustedPeer(int fd, team_id team);

class SocketTransport : public RemoteTransport {
public:
	static SocketTransport* Default();

	// Starts listening, once; later calls only report the first result.
	[[nodiscard]] status_t StartListening();

	status_t Send(const BMessenger& target, const BMessage& message,
		bigtime_t timeout) override;
	bool IsValid(const BMessenger& target) override;

	// The port that messages for "the application" (port 0) go to.
	static void SetApplicationPort(port_id port);
	static port_id ApplicationPort();

private:
	struct Connection;

	SocketTransport() = default;

	status_t _Listen();
	std::shared_ptr<Connection> _ConnectionTo(team_id team, status_t* status);
	void _Forget(team_id team, const std::shared_ptr<Connection>& connection);
	uint64 _StartTimeOf(team_id team);

	std::mutex fLock;
	std::unordered_map<team_id, std::shared_ptr<Connection>> fConnections;
	std::unordered_map<team_id, uint64> fStartTimes;
	std::once_flag fListenOnce;
	status_t fListenStatus = B_NO_INIT;
};

}	// namespace MorvaneKit
