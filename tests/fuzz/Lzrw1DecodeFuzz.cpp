// Feeds arbitrary bytes to the LZRW1 decoder as a block read off a damaged
// medium. It must stay within the stream and the 64 KiB destination, and a
// stream it accepts must decode the same way into a destination of exactly
// the restored length.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Lzrw1Codec.h"

namespace {

constexpr size_t kBlockSize = 65536;

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	std::vector<uint8> block(kBlockSize);
	size_t restored = 0;
	if (Lzrw1Decompress(data, size, block.data(), block.size(), &restored) != B_OK) {
		if (restored != 0)
			abort();
		return 0;
	}
	if (restored > kBlockSize)
		abort();
	std::vector<uint8> exact(restored);
	size_t again = 0;
	if (Lzrw1Decompress(data, size, exact.data(), exact.size(), &again) != B_OK
		|| again != restored || !std::equal(exact.begin(), exact.end(), block.begin()))
		abort();
	return 0;
}
