// LZRW1 block compression against references measured in the same run on
// the same blocks: memcpy (the floor of any block copy) and LZ4 (a fast
// compressor of the same family). Data: the project's source files
// concatenated, the kit library as a binary, and random bytes, each cut into
// blocks of the largest size a backup block holds.
//
// For scale: the classic LZRW1 code compresses at about 0.43 of LZ4's speed
// and decompresses at about 0.15 of it.

#include <lz4.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "Lzrw1Codec.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8>;

constexpr size_t kBlockLength = 65512;
constexpr size_t kBlockSize = 65536;
constexpr size_t kRandomSize = 8 * 1024 * 1024;
constexpr int kRounds = 5;
// Every timed pass covers at least this much input, so that short data sets
// are measured over enough work.
constexpr size_t kMinPassBytes = 64 * 1024 * 1024;

constexpr double kClassicCompressRatio = 0.43;
constexpr double kClassicDecompressRatio = 0.15;

struct Block {
	const uint8* data;
	size_t length;
};

struct Figures {
	double lzrw1Compress = 0;
	double lzrw1Decompress = 0;
	double lz4Compress = 0;
	double lz4Decompress = 0;
	double copy = 0;
	size_t lzrw1Bytes = 0;
	size_t lz4Bytes = 0;
	size_t inputBytes = 0;
};

bool IsSourceFile(const fs::path& path)
{
	std::string extension = path.extension().string();
	return extension == ".cpp" || extension == ".h" || extension == ".cmake"
		|| path.filename() == "CMakeLists.txt";
}

bool IsSkippedFolder(const fs::path& path)
{
	std::string name = path.filename().string();
	return name.rfind("build", 0) == 0 || name.rfind(".", 0) == 0;
}

Bytes ReadFile(const fs::path& path)
{
	std::ifstream in(path, std::ios::binary);
	return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes SourceFiles()
{
	std::vector<fs::path> files;
	fs::recursive_directory_iterator it(MORVANE_SOURCE_DIR);
	for (; it != fs::recursive_directory_iterator(); ++it) {
		if (it->is_directory() && IsSkippedFolder(it->path())) {
			it.disable_recursion_pending();
			continue;
		}
		if (it->is_regular_file() && IsSourceFile(it->path()))
			files.push_back(it->path());
	}
	std::sort(files.begin(), files.end());
	Bytes all;
	for (const fs::path& file : files) {
		Bytes content = ReadFile(file);
		all.insert(all.end(), content.begin(), content.end());
	}
	return all;
}

Bytes RandomBytes()
{
	std::mt19937_64 generator(42);
	Bytes bytes(kRandomSize);
	for (size_t index = 0; index + 8 <= bytes.size(); index += 8) {
		uint64_t value = generator();
		memcpy(bytes.data() + index, &value, 8);
	}
	return bytes;
}

std::vector<Block> CutIntoBlocks(const Bytes& data)
{
	std::vector<Block> blocks;
	for (size_t offset = 0; offset < data.size(); offset += kBlockLength)
		blocks.push_back({data.data() + offset, std::min(kBlockLength, data.size() - offset)});
	return blocks;
}

// The best of a few rounds of enough passes over the data, in MB/s of input.
double Speed(size_t bytes, const std::function<void()>& pass)
{
	size_t passes = std::max<size_t>(1, kMinPassBytes / std::max<size_t>(bytes, 1));
	double best = 1e300;
	for (int round = 0; round < kRounds; round++) {
		auto start = std::chrono::steady_clock::now();
		for (size_t count = 0; count < passes; count++)
			pass();
		std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
		best = std::min(best, took.count());
	}
	return double(bytes) * double(passes) / best / 1e6;
}

void Check(bool condition, const char* what)
{
	if (condition)
		return;
	fprintf(stderr, "lzrw1-bench: %s\n", what);
	exit(1);
}

Figures Measure(const Bytes& data)
{
	std::vector<Block> blocks = CutIntoBlocks(data);
	size_t count = blocks.size();
	std::vector<Bytes> lzrw1(count, Bytes(kBlockLength + 1));
	std::vector<size_t> lzrw1Lengths(count);
	int lz4Bound = LZ4_compressBound(int(kBlockLength));
	std::vector<std::vector<char>> lz4(count, std::vector<char>(size_t(lz4Bound)));
	std::vector<int> lz4Lengths(count);
	Bytes output(kBlockSize);

	Figures figures;
	figures.inputBytes = data.size();
	figures.copy = Speed(data.size(), [&] {
		for (const Block& block : blocks)
			memcpy(output.data(), block.data, block.length);
		// Keeps the copies from being optimised away.
		asm volatile("" : : "r"(output.data()) : "memory");
	});
	figures.lzrw1Compress = Speed(data.size(), [&] {
		for (size_t index = 0; index < count; index++) {
			lzrw1Lengths[index] = Lzrw1Compress(blocks[index].data, blocks[index].length,
				lzrw1[index].data());
		}
	});
	figures.lzrw1Decompress = Speed(data.size(), [&] {
		for (size_t index = 0; index < count; index++) {
			size_t restored;
			Check(Lzrw1Decompress(lzrw1[index].data(), lzrw1Lengths[index], output.data(),
				output.size(), &restored) == B_OK && restored == blocks[index].length,
				"LZRW1 block does not restore");
		}
	});
	figures.lz4Compress = Speed(data.size(), [&] {
		for (size_t index = 0; index < count; index++) {
			lz4Lengths[index] = LZ4_compress_default(
				reinterpret_cast<const char*>(blocks[index].data), lz4[index].data(),
				int(blocks[index].length), lz4Bound);
		}
	});
	figures.lz4Decompress = Speed(data.size(), [&] {
		for (size_t index = 0; index < count; index++) {
			int restored = LZ4_decompress_safe(lz4[index].data(),
				reinterpret_cast<char*>(output.data()), lz4Lengths[index], int(output.size()));
			Check(restored == int(blocks[index].length), "LZ4 block does not restore");
		}
	});

	for (size_t index = 0; index < count; index++) {
		size_t restored;
		Check(Lzrw1Decompress(lzrw1[index].data(), lzrw1Lengths[index], output.data(),
			output.size(), &restored) == B_OK, "LZRW1 block does not restore");
		Check(memcmp(output.data(), blocks[index].data, restored) == 0,
			"LZRW1 block restores other data");
		figures.lzrw1Bytes += lzrw1Lengths[index];
		figures.lz4Bytes += size_t(lz4Lengths[index]);
	}
	return figures;
}

void PrintFigures(const char* name, const Figures& figures)
{
	double inputBytes = double(figures.inputBytes);
	printf("%-8s %6.2f MB  ratio LZRW1 %5.3f LZ4 %5.3f\n", name, inputBytes / 1e6,
		double(figures.lzrw1Bytes) / inputBytes, double(figures.lz4Bytes) / inputBytes);
	printf("         compress   LZRW1 %8.1f MB/s  LZ4 %8.1f MB/s  LZRW1/LZ4 %5.2f"
		" (classic %.2f)\n", figures.lzrw1Compress, figures.lz4Compress,
		figures.lzrw1Compress / figures.lz4Compress, kClassicCompressRatio);
	printf("         decompress LZRW1 %8.1f MB/s  LZ4 %8.1f MB/s  LZRW1/LZ4 %5.2f"
		" (classic %.2f)\n", figures.lzrw1Decompress, figures.lz4Decompress,
		figures.lzrw1Decompress / figures.lz4Decompress, kClassicDecompressRatio);
	printf("         memcpy %8.1f MB/s  LZRW1 compress/memcpy %5.3f"
		"  decompress/memcpy %5.3f\n", figures.copy, figures.lzrw1Compress / figures.copy,
		figures.lzrw1Decompress / figures.copy);
}

// Speeds over several data sets: total bytes over total time.
double Combined(double Figures::*speed, const std::vector<Figures>& all)
{
	double bytes = 0;
	double seconds = 0;
	for (const Figures& figures : all) {
		bytes += double(figures.inputBytes);
		seconds += double(figures.inputBytes) / (figures.*speed);
	}
	return bytes / seconds;
}

}	// namespace

int main()
{
	Bytes source = SourceFiles();
	Bytes binary = ReadFile(MORVANE_KIT_LIBRARY);
	Bytes random = RandomBytes();
	Check(!source.empty() && !binary.empty(), "no source files or kit library found");

	printf("LZRW1 against LZ4 %s and memcpy, blocks of %zu bytes\n\n", LZ4_versionString(),
		kBlockLength);
	std::vector<Figures> all;
	all.push_back(Measure(source));
	PrintFigures("source", all.back());
	all.push_back(Measure(binary));
	PrintFigures("binary", all.back());
	all.push_back(Measure(random));
	PrintFigures("random", all.back());

	std::vector<Figures> compressible(all.begin(), all.begin() + 2);
	printf("\nsource and binary: compress LZRW1/LZ4 %5.2f (classic %.2f), decompress LZRW1/LZ4"
		" %5.2f (classic %.2f)\n",
		Combined(&Figures::lzrw1Compress, compressible) / Combined(&Figures::lz4Compress, compressible),
		kClassicCompressRatio,
		Combined(&Figures::lzrw1Decompress, compressible)
			/ Combined(&Figures::lz4Decompress, compressible),
		kClassicDecompressRatio);
	printf("all three:         compress LZRW1/LZ4 %5.2f (classic %.2f), decompress LZRW1/LZ4"
		" %5.2f (classic %.2f)\n",
		Combined(&Figures::lzrw1Compress, all) / Combined(&Figures::lz4Compress, all),
		kClassicCompressRatio,
		Combined(&Figures::lzrw1Decompress, all) / Combined(&Figures::lz4Decompress, all),
		kClassicDecompressRatio);
	return 0;
}
