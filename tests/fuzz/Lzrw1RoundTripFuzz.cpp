// Compresses arbitrary blocks of up to 65512 bytes and restores them: the
// stream must fit length + 1 bytes and give back the very input.

#include <cstdlib>
#include <cstring>
#include <vector>

#include "Lzrw1Codec.h"

namespace {

constexpr size_t kMaxBlockLength = 65512;
constexpr size_t kBlockSize = 65536;

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	if (size > kMaxBlockLength)
		size = kMaxBlockLength;
	// Exactly the room the caller guarantees, so that the sanitizer sees any
	// write past it.
	std::vector<uint8> stream(size + 1);
	size_t length = Lzrw1Compress(data, size, stream.data());
	if (length == 0 || length > size + 1)
		abort();
	if ((stream[0] == 0x80) != (length == size + 1))
		abort();
	std::vector<uint8> block(kBlockSize);
	size_t restored = 0;
	if (Lzrw1Decompress(stream.data(), length, block.data(), block.size(), &restored) != B_OK)
		abort();
	if (restored != size || (size > 0 && memcmp(block.data(), data, size) != 0))
		abort();
	return 0;
}
