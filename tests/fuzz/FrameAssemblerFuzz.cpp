// Feeds arbitrary bytes to the transport's frame assembler in pieces of
// varying size, as a socket delivers them. The first byte chooses the
// pieces. Whatever arrives, the buffer never holds much more than the bytes
// that came since the last frame (beside a small buffer kept between
// frames), and what is delivered is a message.

#include <cstdlib>

#include "FrameAssembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	if (size < 1)
		return 0;
	size_t piece = size_t(data[0] % 32) + 1;
	const char* bytes = reinterpret_cast<const char*>(data + 1);
	size_t left = size - 1;

	MorvaneKit::FrameAssembler assembler;
	constexpr size_t kKeptBetweenFrames = 64 * 1024;
	size_t sinceDelivery = 0;
	bool delivered = false;
	auto deliver = [&delivered](port_id, BMessage&& message) {
		std::vector<char> flattened;
		if (message.Flatten(&flattened) != B_OK)
			abort();
		delivered = true;
	};
	while (left > 0) {
		size_t take = std::min(piece, left);
		delivered = false;
		const char* why = nullptr;
		if (!assembler.Consume(bytes, take, deliver, &why)) {
			if (why == nullptr)
				abort();
			break;
		}
		sinceDelivery = delivered ? take : sinceDelivery + take;
		if (assembler.BufferedBytes() > kKeptBetweenFrames + 2 * sinceDelivery)
			abort();
		bytes += take;
		left -= take;
		piece = piece * 3 % 61 + 1;
	}
	return 0;
}
