#include "FuzzReplay.h"

#include <vector>

#include "Lzrw1Codec.h"

bool ReaderAccepts(const uint8_t* data, size_t size)
{
	std::vector<uint8> block(65536);
	size_t restored;
	return Lzrw1Decompress(data, size, block.data(), block.size(), &restored) == B_OK;
}
