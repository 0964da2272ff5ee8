#pragma once

// FrameReceiver: the receiving side of the socket transport. One thread
// serves the listening socket and every connection made to it with epoll,
// so that the number of connections costs no threads:
//
// - a connection of another user is refused; beyond kMaxConnections a new
//   connection is closed at once, with a log line;
// - a frame's buffer grows only with the bytes that arrived, whatever its
//   header announces, so a lying header costs nothing;
// - a connection whose frame stops arriving for kStallTimeout is dropped;
// - a connection is closed at the first frame it cannot read (bad magic,
//   too long, not a message); the frames before it were delivered.
//
// Frames are delivered to the ports of this process in the order they
// arrive on each connection.

#include <support/SupportDefs.h>

namespace MorvaneKit {

class FrameReceiver {
public:
	static constexpr int kMaxConnections = 16384;
	static constexpr bigtime_t kStallTimeout = 10000000;

	// Serves listenFd (non-blocking, listening) on a thread of its own for
	// the rest of the process. False when the thread cannot be set up.
	static bool Start(int listenFd);
};

}	// namespace MorvaneKit
