// The LZRW1 stream: exact bytes for known inputs, the limits of runs, copies,
// control words and the stored form, and round trips of every kind and size
// of block.

#include <gtest/gtest.h>

#include <string>

#include "Lzrw1Codec.h"
#include "Lzrw1TestData.h"

namespace {

Bytes Repeat(const std::string& text, size_t times)
{
	Bytes bytes;
	for (size_t index = 0; index < times; index++)
		bytes.insert(bytes.end(), text.begin(), text.end());
	return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
	Bytes bytes;
	for (const Bytes& part : parts)
		bytes.insert(bytes.end(), part.begin(), part.end());
	return bytes;
}

Bytes SameBytes(uint8_t value, size_t count)
{
	return Bytes(count, value);
}

Bytes Text(const std::string& text)
{
	return Bytes(text.begin(), text.end());
}

// Decodes into a guarded buffer of the largest block and returns the data.
Bytes Restore(const Bytes& stream)
{
	GuardedBuffer output(65536);
	size_t restored = 0;
	EXPECT_EQ(Lzrw1Decompress(stream.data(), stream.size(), output.Data(), output.Size(),
		&restored), B_OK) << ToHex(stream);
	EXPECT_TRUE(output.GuardIntact());
	return output.Prefix(restored);
}

void ExpectStream(const Bytes& input, const std::string& expected)
{
	Bytes stream = CompressChecked(input);
	EXPECT_EQ(ToHex(stream), ToHex(HexBytes(expected)));
	EXPECT_EQ(Restore(stream), input);
}

}	// namespace

// The streams a block of known content must become, byte for byte, so that
// backups written by any build read back in every other.
TEST(Lzrw1StreamTest, KnownStreams)
{
	ExpectStream(Bytes(), "80");
	ExpectStream(Text("abc"), "80 61 62 63");
	ExpectStream(Repeat("abc", 8), "40 18 00 61 62 63 00 3F 01 20");
	ExpectStream(SameBytes(0x41, 20), "40 80 00 00 00 04 41");
	ExpectStream(SameBytes(0x41, 5000), "40 C0 00 00 0F EF 41 00 03 79 41");
	ExpectStream(Concat({Text("xyz"), SameBytes(0x42, 16), Text("xyz")}),
		"40 18 00 78 79 7A 00 00 00 42 01 30");
}

// Runs of 16 and more equal bytes are run items of at most 4095 bytes;
// shorter ones go through the hash path as a literal and an overlapping copy.
TEST(Lzrw1StreamTest, RunLimits)
{
	ExpectStream(SameBytes(0x41, 15), "40 40 00 41 00 1B");
	ExpectStream(SameBytes(0x41, 16), "40 80 00 00 00 00 41");
	// The same with more input after them.
	ExpectStream(Concat({SameBytes(0x41, 15), Text("0123")}), "40 40 00 41 00 1B 30 31 32 33");
	ExpectStream(Concat({SameBytes(0x41, 16), Text("0123")}), "40 80 00 00 00 00 41 30 31 32 33");
	ExpectStream(SameBytes(0x41, 4095), "40 80 00 00 0F EF 41");
	ExpectStream(SameBytes(0x41, 4096), "40 80 00 00 0F EF 41 41");
	// The rest of a split run: 15 bytes take the hash path, which the run
	// left empty, 16 bytes are a run of their own.
	ExpectStream(SameBytes(0x41, 4095 + 15), "40 A0 00 00 0F EF 41 41 00 1B");
	ExpectStream(SameBytes(0x41, 4095 + 16), "40 C0 00 00 0F EF 41 00 00 00 41");
}

// A copy reaches back at most 4095 bytes, is at most 18 bytes long and ends
// at the end of the input at the latest.
TEST(Lzrw1StreamTest, CopyLimits)
{
	// "xyz", a run that leaves the hash table alone, "xyz" again 4095 and
	// 4096 bytes after the first.
	ExpectStream(Concat({Text("xyz"), SameBytes(0x41, 4092), Text("xyz")}),
		"40 18 00 78 79 7A 00 0F EC 41 FF F0");
	ExpectStream(Concat({Text("xyz"), SameBytes(0x41, 4093), Text("xyz")}),
		"40 10 00 78 79 7A 00 0F ED 41 78 79 7A");
	// The same with more input after them.
	Bytes tail = Text("0123456789abcdefghij");
	ExpectStream(Concat({Text("xyz"), SameBytes(0x41, 4092), Text("xyz"), tail}),
		"40 18 00 78 79 7A 00 0F EC 41 FF F0 30 31 32 33 34 35 36 37 38 39 61"
		" 00 00 62 63 64 65 66 67 68 69 6A");
	ExpectStream(Concat({Text("xyz"), SameBytes(0x41, 4093), Text("xyz"), tail}),
		"40 10 00 78 79 7A 00 0F ED 41 78 79 7A 30 31 32 33 34 35 36 37 38"
		" 00 00 39 61 62 63 64 65 66 67 68 69 6A");
	// 18 bytes from 3 back, then a copy cut short by the end of the input.
	ExpectStream(Repeat("abc", 8), "40 18 00 61 62 63 00 3F 01 20");
	ExpectStream(Concat({Repeat("abc", 7), Text("abca")}), "40 18 00 61 62 63 00 3F 01 21");
	// Two bytes before the end no copy starts.
	ExpectStream(Concat({Repeat("abc", 7), Text("ab")}), "40 10 00 61 62 63 00 3F 61 62");

	// After 8 literals, 177 copies of 18 bytes and one of the last 6: with
	// 12 control words the stream is 1 + 24 + 8 + 178 * 2 bytes.
	Bytes pattern = Repeat("abcdefgh", 400);
	Bytes stream = CompressChecked(pattern);
	EXPECT_EQ(stream.size(), 389u);
	EXPECT_EQ(Restore(stream), pattern);
}

// Sixteen items share one control word; the 17th item gets a second one
// right in front of it.
TEST(Lzrw1StreamTest, ControlWordPerSixteenItems)
{
	Bytes sixteen;
	for (uint8_t value = 0; value < 16; value++)
		sixteen = Concat({sixteen, SameBytes(value, 16)});
	Bytes stream = CompressChecked(sixteen);
	ASSERT_EQ(stream.size(), 3u + 16 * 4);
	EXPECT_EQ(ToHex(Bytes(stream.begin(), stream.begin() + 7)), "40 FF FF 00 00 00 00");
	EXPECT_EQ(Restore(stream), sixteen);

	Bytes seventeen = Concat({sixteen, SameBytes(16, 16)});
	stream = CompressChecked(seventeen);
	ASSERT_EQ(stream.size(), 3u + 16 * 4 + 2 + 4);
	EXPECT_EQ(ToHex(Bytes(stream.begin() + 67, stream.end())), "80 00 00 00 00 10");
	EXPECT_EQ(Restore(stream), seventeen);
}

// The compressed form is kept when it is exactly as long as the input; one
// byte longer and the stored form is written. Inputs of up to 3 bytes are
// always stored.
TEST(Lzrw1StreamTest, StoredFormBoundary)
{
	// 80 literals in 6 groups and one run item: 3 + 80 + 4 + 5 * 2 = 97 bytes.
	Bytes literals;
	for (uint8_t value = 1; value <= 80; value++)
		literals.push_back(value);

	Bytes equal = Concat({literals, SameBytes(0, 17)});
	Bytes stream = CompressChecked(equal);
	ASSERT_EQ(stream.size(), equal.size());
	EXPECT_EQ(stream[0], 0x40);
	EXPECT_EQ(Restore(stream), equal);

	Bytes longer = Concat({literals, SameBytes(0, 16)});
	stream = CompressChecked(longer);
	ASSERT_EQ(stream.size(), longer.size() + 1);
	EXPECT_EQ(stream[0], 0x80);
	EXPECT_EQ(Bytes(stream.begin() + 1, stream.end()), longer);
	EXPECT_EQ(Restore(stream), longer);

	for (size_t size = 1; size <= 3; size++) {
		Bytes tiny = SameBytes(7, size);
		stream = CompressChecked(tiny);
		EXPECT_EQ(stream.size(), size + 1);
		EXPECT_EQ(stream[0], 0x80);
	}
}

// Every kind of block in every size class comes back unchanged and never
// grows by more than the flag byte.
TEST(Lzrw1StreamTest, RoundTripsOfEverySizeClass)
{
	for (BlockKind kind : {BlockKind::Random, BlockKind::Text, BlockKind::Binary,
			BlockKind::Repetitive}) {
		for (size_t size : BlockSizeClasses()) {
			SCOPED_TRACE(std::string(BlockKindName(kind)) + " " + std::to_string(size));
			Bytes input = MakeBlock(kind, size, uint32_t(size) + 7);
			Bytes stream = CompressChecked(input);
			ASSERT_FALSE(stream.empty());
			EXPECT_EQ(stream.size() <= size, stream[0] == 0x40);
			EXPECT_LE(stream.size(), size + 1);
			EXPECT_EQ(Restore(stream), input);
		}
	}
	// What the kinds are for: text, binary and repetitive data shrink, random
	// data is stored.
	EXPECT_LT(CompressChecked(MakeBlock(BlockKind::Text, 65512)).size(), 65512u / 2);
	EXPECT_LT(CompressChecked(MakeBlock(BlockKind::Binary, 65512)).size(), 65512u * 3 / 4);
	EXPECT_LT(CompressChecked(MakeBlock(BlockKind::Repetitive, 65512)).size(), 65512u / 5);
	EXPECT_EQ(CompressChecked(MakeBlock(BlockKind::Random, 65512)).size(), 65513u);
}

// The coder takes shortcuts (wide compares, giving up on the compressed form
// once it cannot fit); its streams must still be those of the plain
// step-by-step algorithm, byte for byte, wherever it does not give up on
// input that has not shrunk by a checkpoint.
TEST(Lzrw1StreamTest, SameStreamsAsThePlainAlgorithm)
{
	for (BlockKind kind : {BlockKind::Random, BlockKind::Text, BlockKind::Binary,
			BlockKind::Repetitive}) {
		for (size_t size : BlockSizeClasses()) {
			for (uint32_t seed : {1u, 2u}) {
				Bytes input = MakeBlock(kind, size, seed * 1000 + uint32_t(size));
				ASSERT_EQ(CompressChecked(input), ReferenceCompress(input))
					<< BlockKindName(kind) << " " << size;
			}
		}
	}
}

// Input that has not shrunk by 4 KiB, 8 KiB, 16 KiB or 32 KiB is stored at
// once, even where the rest would have shrunk it; input that has, keeps
// the stream of the plain algorithm.
TEST(Lzrw1StreamTest, IncompressibleStartsAreStoredAtOnce)
{
	auto random = [](size_t size) { return MakeBlock(BlockKind::Random, size, 7); };
	auto text = [](size_t size) { return MakeBlock(BlockKind::Text, size, 7); };
	struct Case {
		const char* name;
		Bytes input;
		bool stored;
	};
	const Case cases[] = {
		{"random at the first checkpoint", Concat({random(4200), text(61312)}), true},
		{"random from 2 KiB to past 16 KiB", Concat({text(2000), random(14400), text(49112)}),
			true},
		{"shrunk by every checkpoint", Concat({random(3000), text(62512)}), false},
		{"no checkpoint reached", random(4095), true},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.name);
		Bytes stream = CompressChecked(test.input);
		EXPECT_EQ(Restore(stream), test.input);
		Bytes plain = ReferenceCompress(test.input);
		if (test.stored) {
			EXPECT_EQ(stream[0], 0x80);
			EXPECT_EQ(stream.size(), test.input.size() + 1);
		} else {
			EXPECT_EQ(stream, plain);
		}
		// Where the stored form is a choice, the plain algorithm would
		// have shrunk the input.
		if (test.stored && test.input.size() > 4096) {
			EXPECT_LT(plain.size(), test.input.size());
		}
	}
}
