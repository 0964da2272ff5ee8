// The block packer hands out, in file order, exactly the records the writer
// makes of the same blocks on its own, whatever the number of threads, and
// tells which blocks read short.

#include <gtest/gtest.h>

#include <memory>

#include "ArchiveTestData.h"
#include "BlockPacker.h"
#include "MemoryArchive.h"
#include "MVLZRW1.h"

namespace {

struct PackedRecord {
	std::vector<uint8> bytes;
	uint32 length = 0;
	uint32 read = 0;
	uint32 packed = 0;
};

// The records of the writer's own PrepareDataBlock() for size bytes of data
// (zeros beyond it), as the packer must make them.
std::vector<std::vector<uint8>> WriterRecords(const std::vector<uint8>& data, int64 size,
	MVCruncher* cruncher, const char* password)
{
	std::vector<std::vector<uint8>> records;
	MemoryArchive sink;
	ArchiveWriter writer(&sink, cruncher, password);
	for (int64 offset = 0; offset < size; offset += kDataBlockMaxRaw) {
		uint32 length = uint32(std::min<int64>(size - offset, kDataBlockMaxRaw));
		std::vector<uint8> raw(length, 0);
		if (offset < int64(data.size()))
			memcpy(raw.data(), data.data() + offset,
				std::min<size_t>(length, data.size() - size_t(offset)));
		size_t before = sink.Bytes().size();
		EXPECT_EQ(writer.WriteDataBlock(raw.data(), length,
			uint32(offset / kDataBlockMaxRaw + 1), offset + length >= size), B_OK);
		records.emplace_back(sink.Bytes().begin() + before, sink.Bytes().end());
	}
	return records;
}

std::vector<PackedRecord> PackAll(BlockPacker& packer, BPositionIO* file, int64 size)
{
	std::vector<PackedRecord> records;
	packer.Start(file, size);
	BlockPacker::Block block;
	while (packer.Next(&block)) {
		PackedRecord record;
		record.bytes.assign(block.record, block.record + block.recordLength);
		record.length = block.length;
		record.read = block.read;
		record.packed = block.packed;
		records.push_back(record);
	}
	packer.Stop();
	return records;
}

}	// namespace

TEST(BlockPackerTest, SameRecordsAsTheWriterInFileOrder)
{
	const int64 kSizes[] = {kDataBlockMaxRaw + 1, 2 * kDataBlockMaxRaw,
		17 * int64(kDataBlockMaxRaw) + 999};
	for (size_t threads : {1u, 3u}) {
		for (const char* password : {"", "secret"}) {
			std::vector<std::unique_ptr<MVLZRW1>> owned;
			std::vector<MVCruncher*> crunchers;
			for (size_t i = 0; i < threads; i++) {
				owned.push_back(std::make_unique<MVLZRW1>());
				crunchers.push_back(owned.back().get());
			}
			BlockPacker packer(crunchers, password);
			for (int64 size : kSizes) {
				SCOPED_TRACE(std::to_string(threads) + " threads, size " + std::to_string(size)
					+ ", password \"" + password + "\"");
				// Half the blocks shrink, half are stored.
				std::vector<uint8> data = PatternBytes(size_t(size), uint32(size));
				std::vector<uint8> noise = NoiseBytes(size_t(size), 3);
				for (int64 offset = kDataBlockMaxRaw; offset < size;
						offset += 2 * kDataBlockMaxRaw) {
					size_t end = size_t(std::min<int64>(offset + kDataBlockMaxRaw, size));
					std::copy(noise.begin() + offset, noise.begin() + end, data.begin() + offset);
				}
				BMemoryIO file(data.data(), data.size());
				std::vector<PackedRecord> packed = PackAll(packer, &file, size);
				std::vector<std::vector<uint8>> expected = WriterRecords(data, size,
					owned[0].get(), password);
				ASSERT_EQ(packed.size(), expected.size());
				for (size_t i = 0; i < packed.size(); i++) {
					EXPECT_EQ(packed[i].bytes, expected[i]) << "block " << i + 1;
					EXPECT_EQ(packed[i].read, packed[i].length);
				}
			}
		}
	}
}

// A file that gives fewer bytes than its size: the blocks past its end say
// so and hold zeros; a packer stopped in the middle starts the next file
// afresh.
TEST(BlockPackerTest, ShortReadsAndStoppingMidFile)
{
	MVLZRW1 first, second;
	BlockPacker packer({&first, &second}, nullptr);
	int64 size = 6 * int64(kDataBlockMaxRaw);
	std::vector<uint8> data = PatternBytes(size_t(2.5 * kDataBlockMaxRaw), 9);
	BMemoryIO shorter(data.data(), data.size());
	std::vector<PackedRecord> packed = PackAll(packer, &shorter, size);
	std::vector<std::vector<uint8>> expected = WriterRecords(data, size, &first, nullptr);
	ASSERT_EQ(packed.size(), 6u);
	const uint32 kRead[] = {kDataBlockMaxRaw, kDataBlockMaxRaw, kDataBlockMaxRaw / 2, 0, 0, 0};
	for (size_t i = 0; i < packed.size(); i++) {
		EXPECT_EQ(packed[i].read, kRead[i]) << i;
		EXPECT_EQ(packed[i].bytes, expected[i]) << i;
	}

	std::vector<uint8> other = NoiseBytes(size_t(size), 4);
	BMemoryIO whole(other.data(), other.size());
	packer.Start(&whole, size);
	BlockPacker::Block block;
	ASSERT_TRUE(packer.Next(&block));
	packer.Stop();
	EXPECT_FALSE(packer.Next(&block));
	packed = PackAll(packer, &shorter, size);
	ASSERT_EQ(packed.size(), 6u);
	EXPECT_EQ(packed[0].bytes, expected[0]);
	EXPECT_EQ(packed[5].bytes, expected[5]);
}
