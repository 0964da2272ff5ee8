#pragma once

// The backup archive: one byte stream per medium, a sequence of records that
// each begin with a 32-bit magic and the 16-bit size of their fixed part.
// All integers are little-endian; reserved and padding bytes are 0. File
// headers (with their attribute records) and data blocks are padded to a
// multiple of the alignment unit (8). docs/archive-format.md has the prose.
//
// Backup header, 220 bytes:
//   0 magic u32 | 4 header size u16 (220) | 6 program version u16 (0x0100)
//   8 backup ID char[32] | 40 title char[64] | 104 creation time i32
//   108 destination type i32 | 112 compressor add-on char[32]
//   144 password char[32] | 176 alignment u16 (8) | 178 medium number u16
//   180..191 reserved | 192 removable i16 | 194 reserved
//   196 total size i64 | 204 entry count i32 | 208 job ID i32
//   212 mode i32 | 216 base ID i32
//   (fixed-size strings carry no terminator when they fill the field)
//
// File header, 76 fixed bytes, then the name and the attribute records:
//   0 magic u32 | 4 fixed size u16 (76) | 6 reserved | 8 total length u32
//   12 kind u16 | 14 reserved | 16 size i64 | 24 atime i32 | 28 mtime i32
//   32 ctime i32 | 36 group u32 | 40 user u32 | 44 permissions u32
//   48 attribute offset i64 (0: none) | 56 data offset i64 (0: no data)
//   64 entry number i64 | 72 level u32 | 76 name, NUL, padding to 8
//
// Attribute record, 40 fixed bytes (only inside a file header):
//   0 magic u32 | 4 fixed size u16 (40) | 6 reserved | 8 total size u32
//   12 type u32 | 16 index type u32 | 20 position in the value i64
//   28 value bytes u32 | 32 next u32 (0 in the last record)
//   36 value offset u32 | 40 name, NUL, padding | value bytes, padding
// Backups older than 0x0100 used: 28 value bytes u16 | 30 next u16 |
//   32 value offset u16 | 36 name.
//
// Data block, 24 fixed bytes:
//   0 magic u32 | 4 fixed size u16 (24) | 6 reserved | 8 total size u32
//   12 packed length u32 | 16 next u32 (0 in the last block of the entry,
//   else the total size) | 20 block number u32 (from 1) | 24 payload
//
// End of medium, 8 bytes: 0 magic u32 | 4 size u16 (8) | 6 reserved.
// Catalogue record: 0 magic u32 | 4 size u16 (8) | 6 reserved | 8 the
//   flattened catalogue message, unpadded.

#include <cstring>

#include <support/SupportDefs.h>

constexpr uint32 kBackupHeaderMagic = 0xFE120001;
constexpr uint32 kFileHeaderMagic = 0xFE120002;
constexpr uint32 kAttributeMagic = 0xFE120003;
constexpr uint32 kDataBlockMagic = 0xFE120004;
constexpr uint32 kEndOfMediumMagic = 0xFE120005;
constexpr uint32 kCatalogueMagic = 0xFE120006;

// Every record starts with its magic and the size of its fixed part.
constexpr uint32 kRecordHeadSize = 6;

constexpr uint16 kArchiveVersion = 0x0100;
constexpr uint16 kArchiveAlignment = 8;

constexpr uint32 kBackupHeaderSize = 220;
constexpr uint32 kBackupHeaderIdOffset = 8;
constexpr uint32 kBackupHeaderIdSize = 32;
constexpr uint32 kBackupHeaderTitleOffset = 40;
constexpr uint32 kBackupHeaderTitleSize = 64;
constexpr uint32 kBackupHeaderDateOffset = 104;
constexpr uint32 kBackupHeaderDestinationTypeOffset = 108;
constexpr uint32 kBackupHeaderCompressorOffset = 112;
constexpr uint32 kBackupHeaderCompressorSize = 32;
constexpr uint32 kBackupHeaderPasswordOffset = 144;
constexpr uint32 kBackupHeaderPasswordSize = 32;
constexpr uint32 kBackupHeaderAlignmentOffset = 176;
constexpr uint32 kBackupHeaderMediumOffset = 178;
constexpr uint32 kBackupHeaderRemovableOffset = 192;
constexpr uint32 kBackupHeaderTotalSizeOffset = 196;
constexpr uint32 kBackupHeaderEntryCountOffset = 204;
constexpr uint32 kBackupHeaderJobIdOffset = 208;
constexpr uint32 kBackupHeaderModeOffset = 212;
constexpr uint32 kBackupHeaderBaseIdOffset = 216;

constexpr uint32 kFileHeaderFixedSize = 76;
// Backups older than 0x0100 wrote a fixed part 16 bytes shorter.
constexpr uint32 kOldFileHeaderFixedSize = 60;
constexpr uint32 kFileHeaderTotalOffset = 8;
constexpr uint32 kFileHeaderKindOffset = 12;
constexpr uint32 kFileHeaderSizeOffset = 16;
constexpr uint32 kFileHeaderAccessTimeOffset = 24;
constexpr uint32 kFileHeaderModificationTimeOffset = 28;
constexpr uint32 kFileHeaderChangeTimeOffset = 32;
constexpr uint32 kFileHeaderGroupOffset = 36;
constexpr uint32 kFileHeaderUserOffset = 40;
constexpr uint32 kFileHeaderPermissionsOffset = 44;
constexpr uint32 kFileHeaderAttributesOffset = 48;
constexpr uint32 kFileHeaderDataOffset = 56;
constexpr uint32 kFileHeaderEntryNumberOffset = 64;
constexpr uint32 kFileHeaderLevelOffset = 72;

// The header buffer a writer or reader starts with.
constexpr uint32 kFileHeaderInitialBuffer = 65536;
// No file header may be longer: a length field beyond it is damage, not a
// reason to allocate that much.
constexpr uint32 kFileHeaderMaxLength = 64 * 1024 * 1024;

constexpr uint32 kAttributeFixedSize = 40;
constexpr uint32 kOldAttributeFixedSize = 36;
constexpr uint32 kAttributeTotalOffset = 8;
constexpr uint32 kAttributeTypeOffset = 12;
constexpr uint32 kAttributeIndexTypeOffset = 16;
constexpr uint32 kAttributePositionOffset = 20;
constexpr uint32 kAttributeLengthOffset = 28;
constexpr uint32 kAttributeNextOffset = 32;
constexpr uint32 kAttributeValueOffset = 36;
constexpr uint32 kOldAttributeLengthOffset = 28;
constexpr uint32 kOldAttributeNextOffset = 30;
constexpr uint32 kOldAttributeValueOffset = 32;

constexpr uint32 kDataBlockFixedSize = 24;
constexpr uint32 kDataBlockTotalOffset = 8;
constexpr uint32 kDataBlockPackedOffset = 12;
constexpr uint32 kDataBlockNextOffset = 16;
constexpr uint32 kDataBlockNumberOffset = 20;
// A block holds 64 KiB with its header: this many file bytes at most.
constexpr uint32 kDataBlockSize = 65536;
constexpr uint32 kDataBlockMaxRaw = kDataBlockSize - kDataBlockFixedSize;
// A compressor may add one byte to data it cannot shrink; no payload is ever
// longer than a whole block.
constexpr uint32 kDataBlockMaxPacked = kDataBlockSize;
// A link's target is stored whole: Linux allows this many bytes at most. A
// backup never cuts one; readers take up to this many.
constexpr uint32 kSymLinkMaxTarget = 4095;

constexpr uint32 kEndOfMediumSize = 8;
constexpr uint32 kCatalogueRecordSize = 8;

enum class EntryKind : uint16 {
	File = 0,
	Directory = 1,
	SymLink = 2,
	VolumeRoot = 3,
};

constexpr uint32 RoundUpToAlignment(uint32 size)
{
	return (size + kArchiveAlignment - 1) / kArchiveAlignment * kArchiveAlignment;
}

// Little-endian access to a record in memory; the caller checks the bounds.
inline uint16 ReadLE16(const uint8* at)
{
	return uint16(at[0] | at[1] << 8);
}

inline uint32 ReadLE32(const uint8* at)
{
	return uint32(at[0]) | uint32(at[1]) << 8 | uint32(at[2]) << 16 | uint32(at[3]) << 24;
}

inline uint64 ReadLE64(const uint8* at)
{
	return uint64(ReadLE32(at)) | uint64(ReadLE32(at + 4)) << 32;
}

inline void WriteLE16(uint8* at, uint16 value)
{
	at[0] = uint8(value);
	at[1] = uint8(value >> 8);
}

inline void WriteLE32(uint8* at, uint32 value)
{
	for (int i = 0; i < 4; i++)
		at[i] = uint8(value >> (8 * i));
}

inline void WriteLE64(uint8* at, uint64 value)
{
	WriteLE32(at, uint32(value));
	WriteLE32(at + 4, uint32(value >> 32));
}

// Writes the fixed part of a data block whose payload of packed bytes
// already follows it in record, and the zero padding after the payload;
// returns the block's total size.
inline uint32 EncodeDataBlock(uint8* record, uint32 packed, uint32 number, bool last)
{
	uint32 total = RoundUpToAlignment(kDataBlockFixedSize + packed);
	memset(record, 0, kDataBlockFixedSize);
	WriteLE32(record, kDataBlockMagic);
	WriteLE16(record + 4, kDataBlockFixedSize);
	WriteLE32(record + kDataBlockTotalOffset, total);
	WriteLE32(record + kDataBlockPackedOffset, packed);
	WriteLE32(record + kDataBlockNextOffset, last ? 0 : total);
	WriteLE32(record + kDataBlockNumberOffset, number);
	memset(record + kDataBlockFixedSize + packed, 0, total - kDataBlockFixedSize - packed);
	return total;
}
