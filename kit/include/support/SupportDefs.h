#pragma once

// Basic integer types and ids shared by every part of the kit.

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

using int8 = int8_t;
using uint8 = uint8_t;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;

using status_t = int32;
using bigtime_t = int64;    // microseconds
using type_code = uint32;
using perform_code = uint32;

using team_id = int32;      // a process id
using thread_id = int32;    // a kernel thread id
using area_id = int32;
using image_id = int32;
using port_id = int32;

// Device and node numbers come from <sys/types.h> (dev_t, ino_t).

// Builds a four-character code such as 'MVJA' at compile time from a string
// literal, for code that prefers not to rely on multi-character literals.
constexpr uint32 FourCC(const char (&code)[5])
{
	return (uint32(uint8(code[0])) << 24) | (uint32(uint8(code[1])) << 16)
		| (uint32(uint8(code[2])) << 8) | uint32(uint8(code[3]));
}
