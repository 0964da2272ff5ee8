#include "Lzrw1TestData.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "Lzrw1Codec.h"

namespace {

const char* const kWords[] = {
	"backup", "the", "restore", "of", "catalogue", "and", "volume", "a", "job",
	"to", "compressor", "in", "medium", "file", "attribute", "is", "server",
	"report", "tape", "for", "block", "with", "selection", "folder", "\n",
};

Bytes RandomBlock(size_t size, std::mt19937& generator)
{
	Bytes block(size);
	for (uint8_t& byte : block)
		byte = uint8_t(generator());
	return block;
}

Bytes TextBlock(size_t size, std::mt19937& generator)
{
	std::string text;
	std::uniform_int_distribution<size_t> pick(0, std::size(kWords) - 1);
	while (text.size() < size) {
		text += kWords[pick(generator)];
		text += ' ';
	}
	return Bytes(text.begin(), text.begin() + size);
}

// Records as programs write them: counters, small numbers, zero padding and
// now and then a random word.
Bytes BinaryBlock(size_t size, std::mt19937& generator)
{
	Bytes block;
	for (uint32_t record = 0; block.size() < size; record++) {
		uint32_t fields[4] = {record, record * 24 + 4096, uint32_t(generator() % 7),
			record % 5 == 0 ? uint32_t(generator()) : 0};
		const uint8_t* bytes = reinterpret_cast<const uint8_t*>(fields);
		block.insert(block.end(), bytes, bytes + sizeof(fields));
	}
	block.resize(size);
	return block;
}

// Long runs, short runs and patterns with periods of 1 to 9 bytes.
Bytes RepetitiveBlock(size_t size, std::mt19937& generator)
{
	Bytes block;
	while (block.size() < size) {
		size_t period = 1 + generator() % 9;
		size_t count = generator() % 3 == 0 ? 4000 + generator() % 200 : 5 + generator() % 60;
		Bytes pattern = RandomBlock(period, generator);
		for (size_t index = 0; index < count; index++)
			block.push_back(pattern[index % period]);
	}
	block.resize(size);
	return block;
}

}	// namespace

Bytes MakeBlock(BlockKind kind, size_t size, uint32_t seed)
{
	std::mt19937 generator(seed);
	switch (kind) {
		case BlockKind::Random:
			return RandomBlock(size, generator);
		case BlockKind::Text:
			return TextBlock(size, generator);
		case BlockKind::Binary:
			return BinaryBlock(size, generator);
		case BlockKind::Repetitive:
			return RepetitiveBlock(size, generator);
	}
	return {};
}

const char* BlockKindName(BlockKind kind)
{
	switch (kind) {
		case BlockKind::Random:
			return "random";
		case BlockKind::Text:
			return "text";
		case BlockKind::Binary:
			return "binary";
		case BlockKind::Repetitive:
			return "repetitive";
	}
	return "?";
}

std::vector<size_t> BlockSizeClasses()
{
	std::vector<size_t> sizes = {0, 1, 2, 3};
	for (size_t power = 16; power <= 65536; power *= 2) {
		for (size_t size : {power - 1, power, power + 1}) {
			if (size <= 65512)
				sizes.push_back(size);
		}
	}
	sizes.push_back(65511);
	sizes.push_back(65512);
	return sizes;
}

Bytes HexBytes(const std::string& hex)
{
	Bytes bytes;
	unsigned value;
	int used;
	for (const char* at = hex.c_str(); sscanf(at, " %2x%n", &value, &used) == 1; at += used)
		bytes.push_back(uint8_t(value));
	return bytes;
}

std::string ToHex(const Bytes& bytes)
{
	std::string hex;
	char digits[4];
	for (uint8_t byte : bytes) {
		snprintf(digits, sizeof(digits), hex.empty() ? "%02X" : " %02X", byte);
		hex += digits;
	}
	return hex;
}

GuardedBuffer::GuardedBuffer(size_t size)
	:
	fSize(size),
	fBytes(size + kGuardSize, kGuardByte)
{
}

bool GuardedBuffer::GuardIntact() const
{
	for (size_t index = fSize; index < fBytes.size(); index++) {
		if (fBytes[index] != kGuardByte)
			return false;
	}
	return true;
}

Bytes CompressChecked(const Bytes& input)
{
	GuardedBuffer output(input.size() + 1);
	size_t length = Lzrw1Compress(input.data(), input.size(), output.Data());
	EXPECT_TRUE(output.GuardIntact()) << "compressor wrote past length + 1";
	EXPECT_LE(length, input.size() + 1);
	return output.Prefix(std::min(length, input.size() + 1));
}

Bytes ReferenceCompress(const Bytes& input)
{
	const size_t n = input.size();
	// Bytes past the end choose a hash bucket only; they read as 0.
	auto at = [&](size_t index) -> uint32_t { return index < n ? input[index] : 0; };
	std::vector<uint32_t> table(4096, 0xFFFFFFFF);
	// Room for the items that may pass the input length before the loop ends.
	Bytes out(n + 16, 0);
	out[0] = 0x40;
	size_t control = 1;
	size_t o = 3;
	uint32_t items = 0;
	uint32_t word = 0;
	size_t i = 0;
	while (i < n && o <= n) {
		if (items == 16) {
			out[control] = uint8_t(word >> 8);
			out[control + 1] = uint8_t(word);
			control = o;
			o += 2;
			items = 0;
		}
		uint8_t value = input[i];
		size_t run = 1;
		if (i + 1 < n && input[i + 1] == value) {
			size_t k = 2;
			while (!(k > 4094 || i + k >= n || input[i + k] != value))
				k++;
			run = k;
		}
		word = (word << 1) & 0xFFFF;
		if (run >= 16) {
			out[o] = 0;
			out[o + 1] = uint8_t((run - 16) >> 8);
			out[o + 2] = uint8_t(run - 16);
			out[o + 3] = value;
			o += 4;
			i += run;
			word |= 1;
		} else {
			uint32_t x = ((at(i) * 16) ^ at(i + 1)) * 16 ^ at(i + 2);
			uint32_t hash = (uint32_t(40543u * x) >> 4) & 0xFFF;
			uint32_t candidate = table[hash];
			table[hash] = uint32_t(i);
			size_t match = 0;
			if (candidate != 0xFFFFFFFF && i - candidate <= 4095) {
				while (match < 18 && i + match < n && input[candidate + match] == input[i + match])
					match++;
			}
			if (match > 2) {
				uint32_t item = uint32_t(i - candidate) * 16 + uint32_t(match - 3);
				out[o] = uint8_t(item >> 8);
				out[o + 1] = uint8_t(item);
				o += 2;
				i += match;
				word |= 1;
			} else {
				out[o] = value;
				o += 1;
				i += 1;
			}
		}
		items++;
	}
	word = (word << (16 - items)) & 0xFFFF;
	out[control] = uint8_t(word >> 8);
	out[control + 1] = uint8_t(word);
	if (o <= n)
		return Bytes(out.begin(), out.begin() + o);
	Bytes stored = {0x80};
	stored.insert(stored.end(), input.begin(), input.end());
	return stored;
}
