#include "Lzrw1Codec.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "Lzrw1Format.h"

namespace {

constexpr uint64 kEveryByte = 0x0101010101010101ull;
// Shorter inputs never shrink: the header and one item exceed them.
constexpr size_t kMinCompressibleLength = 4;
// The slack the wide copies of the decoder may write past a copy item.
constexpr size_t kWideCopyRoom = 24;
constexpr size_t kWideLiteralRoom = 16;
// Room that lets the decoder take a whole group without checking it item by
// item: its items read at most 32 bytes, and a literal copy 16 more; they
// write at most 16 copies of 18 bytes, and a wide copy 24 more.
constexpr size_t kFastGroupInput = 2 * kLzrw1ControlBits + kWideLiteralRoom;
constexpr size_t kFastGroupOutput = kLzrw1ControlBits * kLzrw1MaxMatch + kWideCopyRoom;
constexpr uint32 kPositionBias = kLzrw1MaxOffset + 1;
// Positions plus the bias fit the 32-bit table entries up to this length.
constexpr size_t kMaxCompressibleLength = 0xFFFFFFFFu - kPositionBias;
// Input that has not shrunk at all by one of the checkpoints (the first at
// this many bytes, each next one twice as far) is taken for incompressible,
// and the stored form is written at once; data that is random so far
// rarely turns compressible enough to make up for it.
constexpr size_t kFirstCheckpoint = 4096;

inline uint64 Load64(const uint8* from)
{
	uint64 value;
	memcpy(&value, from, sizeof(value));
	return value;
}

inline void Copy8(uint8* to, const uint8* from)
{
	// Through a register, so that a source that overlaps the 8 bytes just
	// written reads them as written.
	uint64 value = Load64(from);
	memcpy(to, &value, sizeof(value));
}

inline void Store16(uint8* to, uint32 value)
{
	to[0] = uint8(value >> 8);
	to[1] = uint8(value);
}

inline uint32 HashOf(uint32 x)
{
	return (kLzrw1HashMultiplier * x) >> 4 & (kLzrw1HashTableSize - 1);
}

// The hash of the three bytes at a position.
inline uint32 Hash3(const uint8* at)
{
	return HashOf(((uint32(at[0]) << 4 ^ at[1]) << 4) ^ at[2]);
}

// How many of the bytes of two words loaded from memory agree, from the first.
inline uint32 EqualLeadingBytes(uint64 difference)
{
	if constexpr (std::endian::native == std::endian::little)
		return uint32(std::countr_zero(difference)) / 8;
	else
		return uint32(std::countl_zero(difference)) / 8;
}

// The length of the match distance bytes back from here, limited to the
// left bytes of the input and kLzrw1MaxMatch; 0 when it is shorter than
// kLzrw1MinMatch.
inline uint32 MatchAt(const uint8* here, uint32 distance, size_t left)
{
	const uint8* earlier = here - distance;
	uint32 limit = uint32(std::min<size_t>(left, kLzrw1MaxMatch));
	uint32 length = 0;
	while (length < limit && earlier[length] == here[length])
		length++;
	return length >= kLzrw1MinMatch ? length : 0;
}

// The number of bytes equal to at[0] from at on, at most limit, known to be
// at least kLzrw1MinRun.
inline size_t RunLength(const uint8* at, size_t limit)
{
	uint64 pattern = at[0] * kEveryByte;
	size_t length = kLzrw1MinRun;
	while (length + 8 <= limit && Load64(at + length) == pattern)
		length += 8;
	while (length < limit && at[length] == at[0])
		length++;
	return length;
}

// True when the 16 bytes from at are all equal; at least 16 may be read.
inline bool StartsRun(const uint8* at)
{
	uint64 pattern = at[0] * kEveryByte;
	return Load64(at) == pattern && Load64(at + 8) == pattern;
}

size_t Store(const uint8* source, size_t length, uint8* destination)
{
	destination[0] = kLzrw1StoredFlag;
	if (length > 0)
		memcpy(destination + 1, source, length);
	return length + 1;
}

// The state of one compression: input, output and hash table.
struct Encoder {
	const uint8* source;
	size_t length;
	uint8* out;
	uint8* outLimit;
	size_t position = 0;
	uint32 word = 0;
	// Entries are positions plus kPositionBias, so that an empty entry (0)
	// lies farther back than any offset reaches and one comparison rejects
	// both.
	uint32 table[kLzrw1HashTableSize] = {};
};

// Enters the item start into the table and returns the distance back to the
// previous position with the same hash.
inline uint32 NextDistance(Encoder& encoder, uint32 hash)
{
	uint32 key = uint32(encoder.position) + kPositionBias;
	uint32 distance = key - encoder.table[hash];
	encoder.table[hash] = key;
	return distance;
}

inline void PutRun(Encoder& encoder, uint8 value, size_t run)
{
	uint8* out = encoder.out;
	out[0] = 0;
	Store16(out + 1, uint32(run - kLzrw1MinRun));
	out[3] = value;
	encoder.out += kLzrw1RunSize;
	encoder.position += run;
	encoder.word |= 1;
}

inline void PutCopy(Encoder& encoder, uint32 distance, uint32 match)
{
	Store16(encoder.out, distance << 4 | (match - kLzrw1MinMatch));
	encoder.out += kLzrw1CopySize;
	encoder.position += match;
	encoder.word |= 1;
}

inline void PutLiteral(Encoder& encoder, uint8 value)
{
	*encoder.out++ = value;
	encoder.position++;
}

// One item where at least kLzrw1MaxMatch input bytes are left and the
// largest item fits the output, on a little-endian machine: the first eight
// bytes, loaded once, serve the run test, the hash, the match test and the
// literal.
inline void PutWideItem(Encoder& encoder)
{
	const uint8* here = encoder.source + encoder.position;
	uint64 bytes = Load64(here);
	uint8 value = uint8(bytes);
	if (bytes == value * kEveryByte && Load64(here + 8) == bytes) {
		size_t left = encoder.length - encoder.position;
		PutRun(encoder, value, RunLength(here, std::min<size_t>(left, kLzrw1MaxRun)));
		return;
	}
	uint32 x = uint32(bytes & 0xFF) << 8 ^ (uint32(bytes >> 4) & 0xFF0)
		^ (uint32(bytes >> 16) & 0xFF);
	uint32 distance = NextDistance(encoder, HashOf(x));
	// Whether the candidate is in reach is as unpredictable as a coin on
	// incompressible data, so it takes no branch of its own: out of reach,
	// here is compared with itself and the far bit spoils the result.
	uint64 far = distance > kLzrw1MaxOffset;
	const uint8* earlier = here - (distance & uint32(far - 1));
	uint64 difference = Load64(earlier) ^ bytes;
	if (((difference | far) & 0xFFFFFF) != 0) {
		PutLiteral(encoder, value);
		return;
	}
	uint32 match;
	if (difference != 0)
		match = EqualLeadingBytes(difference);
	else if ((difference = Load64(earlier + 8) ^ Load64(here + 8)) != 0)
		match = 8 + EqualLeadingBytes(difference);
	else
		match = earlier[16] != here[16] ? 16 : earlier[17] != here[17] ? 17 : 18;
	PutCopy(encoder, distance, match);
}

// One item anywhere; false when it does not fit the output.
inline bool PutItem(Encoder& encoder)
{
	const uint8* here = encoder.source + encoder.position;
	size_t left = encoder.length - encoder.position;
	size_t room = size_t(encoder.outLimit - encoder.out);
	if (left >= kLzrw1MinRun && here[1] == here[0] && StartsRun(here)) {
		if (room < kLzrw1RunSize)
			return false;
		PutRun(encoder, here[0], RunLength(here, std::min<size_t>(left, kLzrw1MaxRun)));
		return true;
	}
	// The last two positions can start no match, and the table is not
	// consulted after them.
	if (left >= kLzrw1MinMatch) {
		uint32 distance = NextDistance(encoder, Hash3(here));
		uint32 match = distance <= kLzrw1MaxOffset ? MatchAt(here, distance, left) : 0;
		if (match != 0) {
			if (room < kLzrw1CopySize)
				return false;
			PutCopy(encoder, distance, match);
			return true;
		}
	}
	if (room < kLzrw1LiteralSize)
		return false;
	PutLiteral(encoder, here[0]);
	return true;
}

// Writes the compressed form into destination[0, length) and returns its
// length, or 0 as soon as it would not fit there: the stored form is then
// shorter. length is at least kMinCompressibleLength.
size_t CompressItems(const uint8* source, size_t length, uint8* destination)
{
	Encoder encoder{source, length, destination + kLzrw1HeaderSize, destination + length};
	destination[0] = kLzrw1CompressedFlag;
	uint8* control = destination + 1;
	uint32 items = 0;
	// Where items need no checks of input left or output room.
	const size_t wideEnd = std::endian::native == std::endian::little && length > kLzrw1MaxMatch
		? length - kLzrw1MaxMatch : 0;
	const uint8* wideOutLimit = encoder.outLimit - kLzrw1RunSize;
	size_t checkpoint = kFirstCheckpoint;

	while (encoder.position < length) {
		if (items == kLzrw1ControlBits) {
			if (size_t(encoder.outLimit - encoder.out) < kLzrw1ControlSize)
				return 0;
			if (encoder.position >= checkpoint) {
				if (size_t(encoder.out - destination) >= encoder.position)
					return 0;
				checkpoint *= 2;
			}
			Store16(control, encoder.word);
			control = encoder.out;
			encoder.out += kLzrw1ControlSize;
			items = 0;
		}
		encoder.word <<= 1;
		items++;
		if (encoder.position < wideEnd && encoder.out <= wideOutLimit)
			PutWideItem(encoder);
		else if (!PutItem(encoder))
			return 0;
	}

	Store16(control, encoder.word << (kLzrw1ControlBits - items));
	return size_t(encoder.out - destination);
}

// Copies a match of length bytes from offset bytes back, forward as if byte
// by byte, in 8-byte steps; kWideCopyRoom bytes from out may be written.
inline void CopyMatchWide(uint8* out, size_t offset, size_t length)
{
	const uint8* from = out - offset;
	if (offset >= 8) {
		Copy8(out, from);
		Copy8(out + 8, from + 8);
		if (length > 16)
			Copy8(out + 16, from + 16);
		return;
	}
	// A pattern shorter than 8 bytes: after its first 8 bytes the output
	// repeats at the smallest multiple of offset that is at least 8.
	static constexpr uint8 kRepeatDistance[8] = {0, 8, 8, 9, 8, 10, 12, 14};
	for (size_t index = 0; index < 8; index++)
		out[index] = from[index];
	if (length <= 8)
		return;
	size_t distance = kRepeatDistance[offset];
	Copy8(out + 8, out + 8 - distance);
	if (length > 16)
		Copy8(out + 16, out + 16 - distance);
}

// The same, byte by byte where the room after the match is short.
inline void CopyMatch(uint8* out, size_t offset, size_t length, const uint8* outEnd)
{
	if (size_t(outEnd - out) >= kWideCopyRoom) {
		CopyMatchWide(out, offset, length);
		return;
	}
	const uint8* from = out - offset;
	for (size_t index = 0; index < length; index++)
		out[index] = from[index];
}

// Decodes the items of a group without checking room, which the caller
// made sure of (kFastGroupInput, kFastGroupOutput): literals and copies,
// up to the first run, which is left with its control bit for the checked
// path. False for a copy that reaches before the start of the output.
inline bool DecodeGroupFast(const uint8*& in, uint8*& out, const uint8* destination,
	uint32& word, uint32& bits)
{
	while (bits > 0) {
		if ((word & 0x80000000) == 0) {
			uint32 count = std::min<uint32>(uint32(std::countl_zero(word)), bits);
			memcpy(out, in, kWideLiteralRoom);
			in += count;
			out += count;
			word <<= count;
			bits -= count;
			continue;
		}
		size_t offset = size_t(in[0]) << 4 | in[1] >> 4;
		if (offset == 0)
			return true;
		if (offset > size_t(out - destination))
			return false;
		size_t match = (in[1] & 0x0F) + kLzrw1MinMatch;
		CopyMatchWide(out, offset, match);
		in += kLzrw1CopySize;
		out += match;
		word <<= 1;
		bits--;
	}
	return true;
}

status_t DecompressItems(const uint8* source, size_t length, uint8* destination,
	size_t capacity, size_t* restored)
{
	const uint8* in = source + kLzrw1HeaderSize;
	const uint8* const inEnd = source + length;
	uint8* out = destination;
	uint8* const outEnd = destination + capacity;
	// The control bits not yet used stand at the top of word.
	uint32 word = (uint32(source[1]) << 8 | source[2]) << 16;
	uint32 bits = kLzrw1ControlBits;

	while (in < inEnd) {
		if (bits == 0) {
			// A control word is written only in front of an item.
			if (inEnd - in <= ptrdiff_t(kLzrw1ControlSize))
				return B_BAD_DATA;
			word = (uint32(in[0]) << 8 | in[1]) << 16;
			in += kLzrw1ControlSize;
			bits = kLzrw1ControlBits;
		}
		if (bits == kLzrw1ControlBits && size_t(inEnd - in) >= kFastGroupInput
			&& size_t(outEnd - out) >= kFastGroupOutput) {
			if (!DecodeGroupFast(in, out, destination, word, bits))
				return B_BAD_DATA;
			// A group cut short by a run goes on below with the run.
			if (bits == 0)
				continue;
		}

		if ((word & 0x80000000) == 0) {
			// As many literals as there are leading zero bits, within the
			// group; the input may end inside the zero bits of the last group.
			size_t count = std::min<size_t>(uint32(std::countl_zero(word)), bits);
			count = std::min<size_t>(count, size_t(inEnd - in));
			size_t room = size_t(outEnd - out);
			if (count > room)
				return B_BAD_DATA;
			if (size_t(inEnd - in) >= kWideLiteralRoom && room >= kWideLiteralRoom)
				memcpy(out, in, kWideLiteralRoom);
			else
				memcpy(out, in, count);
			in += count;
			out += count;
			word <<= count;
			bits -= uint32(count);
			continue;
		}

		if (inEnd - in < ptrdiff_t(kLzrw1CopySize))
			return B_BAD_DATA;
		size_t offset = size_t(in[0]) << 4 | in[1] >> 4;
		if (offset != 0) {
			size_t match = (in[1] & 0x0F) + kLzrw1MinMatch;
			if (offset > size_t(out - destination) || match > size_t(outEnd - out))
				return B_BAD_DATA;
			CopyMatch(out, offset, match, outEnd);
			in += kLzrw1CopySize;
			out += match;
		} else {
			if (inEnd - in < ptrdiff_t(kLzrw1RunSize))
				return B_BAD_DATA;
			size_t run = (size_t(in[1]) << 8 | in[2]) + kLzrw1MinRun;
			if (run > size_t(outEnd - out))
				return B_BAD_DATA;
			memset(out, in[3], run);
			in += kLzrw1RunSize;
			out += run;
		}
		word <<= 1;
		bits--;
	}

	*restored = size_t(out - destination);
	return B_OK;
}

}

size_t Lzrw1Compress(const uint8* source, size_t length, uint8* destination)
{
	if (length < kMinCompressibleLength || length > kMaxCompressibleLength)
		return Store(source, length, destination);
	size_t compressed = CompressItems(source, length, destination);
	if (compressed == 0)
		return Store(source, length, destination);
	return compressed;
}

status_t Lzrw1Decompress(const uint8* source, size_t length, uint8* destination,
	size_t capacity, size_t* restored)
{
	if (restored == nullptr || (source == nullptr && length > 0)
		|| (destination == nullptr && capacity > 0))
		return B_BAD_VALUE;
	*restored = 0;
	if (length == 0)
		return B_BAD_DATA;
	if (source[0] == kLzrw1StoredFlag) {
		size_t size = length - 1;
		if (size > capacity)
			return B_BAD_DATA;
		if (size > 0)
			memcpy(destination, source + 1, size);
		*restored = size;
		return B_OK;
	}
	// Any other flag reads as the compressed form: a control word and at
	// least one item, as every compressed stream has.
	if (length <= kLzrw1HeaderSize)
		return B_BAD_DATA;
	return DecompressItems(source, length, destination, capacity, restored);
}
