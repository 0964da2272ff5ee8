#pragma once

// FrameAssembler: puts the frames of one connection of the socket transport
// back together from the bytes as they arrive, in pieces of any size (the
// frame layout is in SocketTransport.h). The buffer of a frame grows only
// with the bytes that arrived, whatever its header announces. Used by one
// thread.

#include <functional>
#include <vector>

#include <app/Message.h>

#include "SocketTransport.h"

namespace MorvaneKit {

class FrameAssembler {
public:
	// Gets each complete frame: its target port and message.
	using Delivery = std::function<void(port_id port, BMessage&& message)>;

	// Takes bytes, delivering every frame they complete. False at the first
	// frame that cannot be read (bad magic, too long, not a message), with
	// the reason in *why; nothing after it is taken.
	[[nodiscard]] bool Consume(const char* data, size_t size, const Delivery& deliver,
		const char** why);
	// Whether a frame has begun and is not complete.
	bool IsInFrame() const { return fHeaderBytes > 0; }
	// Bytes held for the frame being assembled.
	size_t BufferedBytes() const { return fPayload.capacity(); }

private:
	[[nodiscard]] bool _Finish(const Delivery& deliver, const char** why);
	uint32 _Length() const;

	char fHeader[kFrameHeaderSize];
	size_t fHeaderBytes = 0;
	std::vector<char> fPayload;
};

}	// namespace MorvaneKit
