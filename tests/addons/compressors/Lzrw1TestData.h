#pragma once

// Blocks and helpers shared by the LZRW1 tests: data of several kinds in
// every size class, the compression algorithm done the plain way, and
// buffers with guard bytes that show a write past their end.

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

enum class BlockKind { Random, Text, Binary, Repetitive };

Bytes MakeBlock(BlockKind kind, size_t size, uint32_t seed = 1);
const char* BlockKindName(BlockKind kind);
// 0, 1, 2, 3 and 2^k - 1, 2^k, 2^k + 1 for k = 4 .. 16, ending at 65512.
std::vector<size_t> BlockSizeClasses();
Bytes HexBytes(const std::string& hex);
std::string ToHex(const Bytes& bytes);

// The stream of the compression algorithm done step by step, one byte at a
// time, without any shortcut: what the coder's output must equal.
Bytes ReferenceCompress(const Bytes& input);

// A buffer of size bytes followed by guard bytes.
class GuardedBuffer {
public:
	explicit GuardedBuffer(size_t size);
	uint8_t* Data() { return fBytes.data(); }
	size_t Size() const { return fSize; }
	bool GuardIntact() const;
	Bytes Prefix(size_t length) const { return Bytes(fBytes.begin(), fBytes.begin() + length); }

private:
	static constexpr size_t kGuardSize = 64;
	static constexpr uint8_t kGuardByte = 0xA5;
	size_t fSize;
	Bytes fBytes;
};

// Compresses into a guarded buffer of length + 1 bytes; fails the current
// test when the compressor writes past it.
Bytes CompressChecked(const Bytes& input);
