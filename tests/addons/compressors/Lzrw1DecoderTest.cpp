// The LZRW1 decoder on damaged blocks: it reads only the stream it is given,
// writes only into its destination, and refuses what it cannot restore.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "Lzrw1Codec.h"
#include "Lzrw1TestData.h"

namespace {

struct Decoded {
	status_t status;
	Bytes data;
	bool guardIntact;
};

// Decodes from an exactly sized copy of the stream (so that a sanitizer sees
// any read past it) into a guarded destination of capacity bytes.
Decoded Decode(const Bytes& stream, size_t capacity = 65536)
{
	Bytes exact(stream);
	GuardedBuffer output(capacity);
	size_t restored = 12345;
	status_t status = Lzrw1Decompress(exact.empty() ? nullptr : exact.data(), exact.size(),
		output.Data(), capacity, &restored);
	if (status != B_OK) {
		EXPECT_EQ(restored, 0u);
	}
	EXPECT_LE(restored, capacity);
	return {status, output.Prefix(std::min(restored, capacity)), output.GuardIntact()};
}

void ExpectRefused(const std::string& hex, size_t capacity = 65536)
{
	Decoded decoded = Decode(HexBytes(hex), capacity);
	EXPECT_EQ(decoded.status, B_BAD_DATA) << hex;
	EXPECT_TRUE(decoded.guardIntact) << hex;
}

}	// namespace

// Streams that end too early or point before their start are refused.
TEST(Lzrw1DecoderTest, MalformedStreams)
{
	ExpectRefused("");
	ExpectRefused("40");
	ExpectRefused("40 80");
	// A control word without any item.
	ExpectRefused("40 00 00");
	// Half a copy, three quarters of a run.
	ExpectRefused("40 40 00 41 00");
	ExpectRefused("40 80 00 00 00 05");
	// A copy before any output, and one reaching one byte too far back.
	ExpectRefused("40 80 00 00 10");
	ExpectRefused("40 20 00 41 42 00 30");
	// A second control word at the very end.
	ExpectRefused("40 00 00 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 00 00");

	Decoded decoded = Decode(HexBytes("40 20 00 41 42 00 20"));
	EXPECT_EQ(decoded.status, B_OK);
	EXPECT_EQ(decoded.data, HexBytes("41 42 41 42 41"));
	// Any flag but the stored one reads as the compressed form.
	decoded = Decode(HexBytes("00 20 00 41 42 00 20"));
	EXPECT_EQ(decoded.status, B_OK);
	EXPECT_EQ(decoded.data, HexBytes("41 42 41 42 41"));
}

// Output is bounded by the destination: a stream that would restore one byte
// more than fits is refused without touching anything past it, including
// the room the wide copies use.
TEST(Lzrw1DecoderTest, DestinationLimit)
{
	// Sixteen runs of 4096 bytes fill a 64 KiB destination exactly.
	std::string full = "40 FF FF";
	for (int index = 0; index < 16; index++)
		full += " 00 0F F0 41";
	Decoded decoded = Decode(HexBytes(full));
	EXPECT_EQ(decoded.status, B_OK);
	EXPECT_EQ(decoded.data, Bytes(65536, 0x41));
	EXPECT_TRUE(decoded.guardIntact);
	ExpectRefused(full + " 00 00 42");
	ExpectRefused(full + " 80 00 00 10");

	ExpectRefused("80 01 02 03 04 05", 4);
	decoded = Decode(HexBytes("80 01 02 03 04"), 4);
	EXPECT_EQ(decoded.status, B_OK);
	EXPECT_EQ(decoded.data, HexBytes("01 02 03 04"));

	// Patterns of every period up to 9 and literals, decoded into exactly
	// their length and into one byte less.
	for (size_t period = 1; period <= 9; period++) {
		Bytes input;
		for (size_t index = 0; index < 200; index++)
			input.push_back(uint8_t(index % period * 37 + (index / 50)));
		Bytes stream = CompressChecked(input);
		ASSERT_EQ(stream[0], 0x40) << period;
		decoded = Decode(stream, input.size());
		EXPECT_EQ(decoded.status, B_OK) << period;
		EXPECT_EQ(decoded.data, input) << period;
		EXPECT_TRUE(decoded.guardIntact) << period;
		decoded = Decode(stream, input.size() - 1);
		EXPECT_EQ(decoded.status, B_BAD_DATA) << period;
		EXPECT_TRUE(decoded.guardIntact) << period;
	}
	ExpectRefused("40 40 00 41 00 1B", 14);
}

// Every prefix of a valid stream either restores a prefix of the data or is
// refused; it never reads or writes out of bounds.
TEST(Lzrw1DecoderTest, TruncatedStreams)
{
	for (BlockKind kind : {BlockKind::Text, BlockKind::Binary, BlockKind::Repetitive}) {
		Bytes input = MakeBlock(kind, 3000, 11);
		Bytes stream = CompressChecked(input);
		ASSERT_EQ(stream[0], 0x40);
		size_t refused = 0;
		for (size_t length = 0; length < stream.size(); length++) {
			Decoded decoded = Decode(Bytes(stream.begin(), stream.begin() + length));
			ASSERT_TRUE(decoded.guardIntact);
			if (decoded.status != B_OK) {
				EXPECT_EQ(decoded.status, B_BAD_DATA);
				refused++;
				continue;
			}
			ASSERT_LT(decoded.data.size(), input.size()) << length;
			EXPECT_TRUE(std::equal(decoded.data.begin(), decoded.data.end(), input.begin()))
				<< BlockKindName(kind) << " cut at " << length;
		}
		EXPECT_GT(refused, 0u) << BlockKindName(kind);
	}
}

// Random streams and valid streams with bytes changed are decoded or refused
// within bounds, into the largest block and into small destinations.
TEST(Lzrw1DecoderTest, DamagedAndRandomStreams)
{
	std::mt19937 generator(2024);
	size_t accepted = 0;
	for (int round = 0; round < 2000; round++) {
		Bytes stream(1 + generator() % 300);
		for (uint8_t& byte : stream)
			byte = uint8_t(generator());
		if (round % 2 == 0)
			stream[0] = 0x40;
		size_t capacity = round % 3 == 0 ? 65536 : generator() % 2000;
		Decoded decoded = Decode(stream, capacity);
		ASSERT_TRUE(decoded.guardIntact) << ToHex(stream);
		if (decoded.status == B_OK)
			accepted++;
	}
	EXPECT_GT(accepted, 0u);

	Bytes input = MakeBlock(BlockKind::Text, 65512, 5);
	Bytes valid = CompressChecked(input);
	for (int round = 0; round < 300; round++) {
		Bytes stream(valid);
		for (int change = 0; change < 4; change++)
			stream[1 + generator() % (stream.size() - 1)] = uint8_t(generator());
		Decoded decoded = Decode(stream);
		ASSERT_TRUE(decoded.guardIntact);
		EXPECT_TRUE(decoded.status == B_OK || decoded.status == B_BAD_DATA);
	}
}
