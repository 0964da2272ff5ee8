#include "FuzzReplay.h"

#include <cstring>
#include <string>

#include <support/SupportDefs.h>

// Accepted: a tape whose records, from the first one on, are whole (each
// framed by the same length word before and after, up to the end).
bool ReaderAccepts(const uint8_t* data, size_t size)
{
	constexpr size_t kFirstRecord = 64;
	if (size < kFirstRecord)
		return false;
	size_t at = kFirstRecord;
	auto word = [data](size_t offset) {
		return uint32(data[offset]) | uint32(data[offset + 1]) << 8
			| uint32(data[offset + 2]) << 16 | uint32(data[offset + 3]) << 24;
	};
	while (at < size) {
		if (at + 8 > size)
			return false;
		uint32 leading = word(at);
		uint32 length = (leading & 0x80000000u) != 0 ? 0 : leading;
		if (((leading & 0x80000000u) != 0 && leading != 0x80000000u)
			|| ((leading & 0x80000000u) == 0 && (length == 0 || length > 0xffffff))
			|| at + 8 + length > size || word(at + 4 + length) != leading)
			return false;
		at += 8 + length;
	}
	return true;
}
