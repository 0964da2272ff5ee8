#pragma once

// The LZRW1 stream of one data block. Every block of a backup made with this
// compressor is one stream, so the layout is part of the backup format and
// must never change. Multi-byte values are big-endian.
//
//   flag (1 byte): 0x40 compressed form, 0x80 stored form
//   stored form: the input bytes follow the flag (stream = input length + 1)
//   compressed form: groups of up to 16 items, each preceded by a 16-bit
//     control word (the first at offset 1). Bit 15 describes the group's first
//     item, bit 14 the second, and so on: 0 literal, 1 copy or run. Unused low
//     bits of the last control word are 0.
//     literal (1 byte): the data byte
//     copy (2 bytes): offset * 16 + (length - 3), offset 1..4095 back from the
//       current output position, length 3..18; copied forward, so an offset
//       below the length repeats a pattern
//     run (4 bytes): 0x00, (count - 16) as 16 bits, the byte value; recognised
//       by a zero 12-bit offset field. Counts written are 16..4095.
//
// The compressor hashes the three bytes b0 b1 b2 at a position into a table
// of 4096 earlier positions: x = ((b0 * 16) ^ b1) * 16 ^ b2,
// hash = ((40543 * x) mod 2^32 >> 4) & 0xFFF. Only item starts enter the table.

#include <support/SupportDefs.h>

constexpr uint8 kLzrw1CompressedFlag = 0x40;
constexpr uint8 kLzrw1StoredFlag = 0x80;

constexpr uint32 kLzrw1ControlBits = 16;
constexpr uint32 kLzrw1HashTableSize = 4096;
constexpr uint32 kLzrw1HashMultiplier = 40543;

constexpr uint32 kLzrw1MinMatch = 3;
constexpr uint32 kLzrw1MaxMatch = 18;
constexpr uint32 kLzrw1MaxOffset = 4095;
constexpr uint32 kLzrw1MinRun = 16;
constexpr uint32 kLzrw1MaxRun = 4095;

constexpr uint32 kLzrw1LiteralSize = 1;
constexpr uint32 kLzrw1CopySize = 2;
constexpr uint32 kLzrw1RunSize = 4;
constexpr uint32 kLzrw1ControlSize = 2;
// The flag and the first control word.
constexpr uint32 kLzrw1HeaderSize = 3;
