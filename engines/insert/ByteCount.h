#pragma once

// Sums of sizes read from media, which may hold any value: a negative size
// counts as 0 and a sum stops at the largest int64 rather than overflow.

#include <cstdint>

#include <support/SupportDefs.h>

inline int64 AddByteCount(int64 total, int64 bytes)
{
	if (bytes <= 0)
		return total;
	return bytes > INT64_MAX - total ? INT64_MAX : total + bytes;
}
