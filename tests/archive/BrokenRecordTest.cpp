// Damaged archives give the read errors of each record kind: truncated at
// every offset, with lengths off by one, or plain garbage. None may crash,
// loop or allocate beyond the caps (the sanitized build of this file checks
// the bounds). Failing writes are reported, never taken for success.

#include <gtest/gtest.h>

#include "ArchiveTestData.h"
#include "FaultInjectingSink.h"
#include "MemoryArchive.h"
#include "MVLZRW1.h"

namespace {

std::vector<TestEntry> SmallEntries()
{
	return {
		{"dir", EntryKind::Directory, 1, {}, "", {{"MV:a", B_STRING_TYPE, {'x', 0}}}},
		{"file", EntryKind::File, 2, PatternBytes(100, 1), "",
			{{"user.b", B_RAW_TYPE, PatternBytes(16, 2)}, {"c", B_INT32_TYPE, {1, 0, 0, 0}}}},
		{"lnk", EntryKind::SymLink, 2, {}, "file", {}},
	};
}

BMessage SmallCatalogue()
{
	BMessage catalogue;
	catalogue.AddString("MV_LOGID", "id");
	return catalogue;
}

std::vector<uint8> SmallStream(MVCruncher* cruncher = nullptr)
{
	MemoryArchive archive;
	ArchiveWriter writer(&archive, cruncher, "pw");
	if (WriteStream(&writer, SampleBackupHeader("pw"), SmallEntries(), SmallCatalogue()) != B_OK)
		abort();
	return archive.Bytes();
}

// Offsets at which records end in a stream, as a reader walking it finds them.
std::vector<size_t> RecordEnds(const std::vector<uint8>& bytes)
{
	MemoryArchive archive(bytes.data(), bytes.size());
	ArchiveReader reader(&archive);
	std::vector<size_t> ends = {0};
	ArchiveRecordKind kind;
	while (reader.NextRecord(&kind) == B_OK)
		ends.push_back(size_t(archive.Position()));
	return ends;
}

// One file header record alone, its bytes ready to be damaged.
std::vector<uint8> FileHeaderBytes(const TestEntry& entry)
{
	FileHeader header;
	MakeHeader(entry, 0, &header);
	return std::vector<uint8>(header.Data(), header.Data() + header.Length());
}

FileHeaderStatus ReadHeader(const std::vector<uint8>& bytes, FileHeader* header = nullptr)
{
	FileHeader local;
	MemoryArchive archive(bytes.data(), bytes.size());
	ArchiveReader reader(&archive);
	return reader.ReadFileHeaderData(header != nullptr ? header : &local);
}

std::vector<uint8> BlockBytes(size_t length)
{
	MemoryArchive archive;
	ArchiveWriter writer(&archive, nullptr, "");
	std::vector<uint8> data = PatternBytes(length, 4);
	if (writer.WriteDataBlock(data.data(), uint32(length), 1, true) != B_OK)
		abort();
	return archive.Bytes();
}

DataBlockStatus ReadBlock(const std::vector<uint8>& bytes, MVCruncher* cruncher = nullptr)
{
	MemoryArchive archive(bytes.data(), bytes.size());
	ArchiveReader reader(&archive, cruncher);
	DataBlock block;
	return reader.ReadDataBlock(&block);
}

}

// A stream cut anywhere either ends cleanly at a record boundary (without
// its catalogue) or gives an error; it never reads as complete.
TEST(BrokenRecordTest, StreamTruncatedAtEveryOffset)
{
	std::vector<uint8> bytes = SmallStream();
	std::vector<size_t> ends = RecordEnds(bytes);
	ASSERT_EQ(ends.back(), bytes.size());
	for (size_t cut = 0; cut < bytes.size(); cut++) {
		MemoryArchive archive(bytes.data(), cut);
		ArchiveReader reader(&archive);
		ReadBack readBack;
		status_t status = ReadStream(&reader, &readBack);
		bool boundary = std::find(ends.begin(), ends.end(), cut) != ends.end();
		EXPECT_FALSE(readBack.sawCatalogue) << cut;
		if (boundary)
			EXPECT_EQ(status, B_OK) << cut;
		else
			EXPECT_NE(status, B_OK) << cut;
	}
}

// Each record reader names its own error for a record cut short.
TEST(BrokenRecordTest, EachRecordTruncated)
{
	std::vector<uint8> header = FileHeaderBytes(SmallEntries()[1]);
	for (size_t cut = 0; cut < header.size(); cut++) {
		std::vector<uint8> part(header.begin(), header.begin() + cut);
		EXPECT_EQ(ReadHeader(part), FileHeaderStatus::ShortRead) << cut;
	}
	EXPECT_EQ(ReadHeader(header), FileHeaderStatus::Ok);

	std::vector<uint8> block = BlockBytes(100);
	for (size_t cut = 0; cut < block.size(); cut++) {
		std::vector<uint8> part(block.begin(), block.begin() + cut);
		DataBlockStatus expected = cut == 0 ? DataBlockStatus::EndOfMedium
			: cut < kDataBlockFixedSize ? DataBlockStatus::HeaderShort
			: DataBlockStatus::DataShort;
		EXPECT_EQ(ReadBlock(part), expected) << cut;

		MemoryArchive archive(part.data(), part.size());
		ArchiveReader reader(&archive);
		std::string target;
		SymLinkStatus link = reader.ReadSymLink2(&target);
		EXPECT_EQ(link, cut < kDataBlockFixedSize ? SymLinkStatus::HeaderShort
			: SymLinkStatus::TargetShort) << cut;
	}

	uint8 backup[kBackupHeaderSize];
	SampleBackupHeader().Encode(backup);
	for (size_t cut = 0; cut < kBackupHeaderSize; cut++) {
		MemoryArchive archive(backup, cut);
		uint8 buffer[kBackupHeaderSize];
		uint32 read = 99;
		EXPECT_EQ(ReadBackupHeaderData(&archive, buffer, &read),
			BackupHeaderStatus::ShortRead) << cut;
		EXPECT_EQ(read, 0u);
	}
}

// Records of another kind are told apart by their magic.
TEST(BrokenRecordTest, WrongMagic)
{
	std::vector<uint8> block = BlockBytes(10);
	EXPECT_EQ(ReadHeader(block), FileHeaderStatus::WrongMagic);
	std::vector<uint8> header = FileHeaderBytes(SmallEntries()[0]);
	EXPECT_EQ(ReadBlock(header), DataBlockStatus::WrongMagic);
	MemoryArchive archive(header.data(), header.size());
	ArchiveReader reader(&archive);
	std::string target;
	EXPECT_EQ(reader.ReadSymLink2(&target), SymLinkStatus::WrongMagic);
	MemoryArchive again(header.data(), header.size());
	ArchiveReader skipper(&again);
	EXPECT_EQ(skipper.SkipData(), SkipStatus::WrongMagic);
	uint8 buffer[kBackupHeaderSize];
	uint32 read;
	MemoryArchive third(header.data(), header.size());
	EXPECT_EQ(ReadBackupHeaderData(&third, buffer, &read), BackupHeaderStatus::WrongMagic);
	BMessage catalogue;
	MemoryArchive fourth(header.data(), header.size());
	ArchiveReader catalogueReader(&fourth);
	EXPECT_EQ(catalogueReader.ReadCatalogueRecord(&catalogue), B_BAD_VALUE);
}

// File headers whose lengths do not fit their record are read errors.
TEST(BrokenRecordTest, FileHeaderLengthsOffByOne)
{
	// Attribute values of a multiple of 8 bytes leave no padding to hide in.
	TestEntry entry{"file", EntryKind::File, 1, {}, "",
		{{"MV:a", B_RAW_TYPE, PatternBytes(16, 3)}}};
	std::vector<uint8> good = FileHeaderBytes(entry);
	ASSERT_EQ(ReadHeader(good), FileHeaderStatus::Ok);
	uint32 total = ReadLE32(good.data() + kFileHeaderTotalOffset);
	uint32 first = uint32(ReadLE64(good.data() + kFileHeaderAttributesOffset));

	auto damaged = [&](auto change) {
		std::vector<uint8> bytes = good;
		change(bytes.data());
		return ReadHeader(bytes);
	};
	EXPECT_EQ(damaged([&](uint8* b) { WriteLE32(b + kFileHeaderTotalOffset, total - 1); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) { WriteLE32(b + kFileHeaderTotalOffset, total + 1); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) { WriteLE32(b + kFileHeaderTotalOffset, 76); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) { WriteLE16(b + 4, 77); }), FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) { WriteLE16(b + 4, 5); }), FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) { memset(b + 76, 'n', first - 76); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) { WriteLE64(b + kFileHeaderAttributesOffset, total); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) { WriteLE64(b + kFileHeaderAttributesOffset, 76); }),
		FileHeaderStatus::ShortRead);

	uint8* attribute = good.data() + first;
	uint32 valueOffset = ReadLE32(attribute + kAttributeValueOffset);
	uint32 length = ReadLE32(attribute + kAttributeLengthOffset);
	EXPECT_EQ(damaged([&](uint8* b) {
		WriteLE32(b + first + kAttributeLengthOffset, length + 1); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) {
		WriteLE32(b + first + kAttributeValueOffset, valueOffset + 1); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) {
		WriteLE32(b + first + kAttributeValueOffset, kAttributeFixedSize); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) {
		WriteLE32(b + first + kAttributeNextOffset, total - first + 1); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) {
		WriteLE32(b + first + kAttributeNextOffset, kAttributeFixedSize - 1); }),
		FileHeaderStatus::ShortRead);
	EXPECT_EQ(damaged([&](uint8* b) {
		memset(b + first + kAttributeFixedSize, 'n', valueOffset - kAttributeFixedSize); }),
		FileHeaderStatus::ShortRead);
}

// A header length that would need an absurd buffer is refused before any
// allocation.
TEST(BrokenRecordTest, AbsurdHeaderLength)
{
	std::vector<uint8> bytes = FileHeaderBytes(SmallEntries()[0]);
	for (uint32 total : {0xFFFFFFF0u, kFileHeaderMaxLength + 1}) {
		WriteLE32(bytes.data() + kFileHeaderTotalOffset, total);
		FileHeader header;
		EXPECT_EQ(ReadHeader(bytes, &header), FileHeaderStatus::ShortRead);
		EXPECT_EQ(header.BufferSize(), kFileHeaderInitialBuffer);
	}
	// Within the cap the buffer grows, and the missing bytes are a short read.
	WriteLE32(bytes.data() + kFileHeaderTotalOffset, 200000);
	FileHeader header;
	EXPECT_EQ(ReadHeader(bytes, &header), FileHeaderStatus::ShortRead);
	EXPECT_EQ(header.BufferSize(), 4u * 65536);
}

// Data blocks whose lengths do not fit, or that are longer than a block,
// are header errors; a payload the compressor cannot restore is corrupt.
TEST(BrokenRecordTest, DataBlockLengths)
{
	std::vector<uint8> good = BlockBytes(100);
	auto damaged = [&](auto change) {
		std::vector<uint8> bytes = good;
		change(bytes.data());
		return ReadBlock(bytes);
	};
	uint32 total = ReadLE32(good.data() + kDataBlockTotalOffset);
	EXPECT_EQ(ReadBlock(good), DataBlockStatus::Ok);
	EXPECT_EQ(damaged([](uint8* b) { WriteLE32(b + kDataBlockTotalOffset, 23); }),
		DataBlockStatus::HeaderShort);
	EXPECT_EQ(damaged([](uint8* b) {
		WriteLE32(b + kDataBlockTotalOffset, kDataBlockSize + kDataBlockFixedSize + 8); }),
		DataBlockStatus::HeaderShort);
	EXPECT_EQ(damaged([&](uint8* b) { WriteLE32(b + kDataBlockPackedOffset, total - 23); }),
		DataBlockStatus::HeaderShort);
	EXPECT_EQ(damaged([&](uint8* b) { WriteLE32(b + kDataBlockTotalOffset, total + 1); }),
		DataBlockStatus::DataShort);
	EXPECT_EQ(damaged([](uint8* b) { WriteLE16(b + 4, 23); }), DataBlockStatus::HeaderShort);
	EXPECT_EQ(damaged([](uint8* b) { WriteLE16(b + 4, 25); }), DataBlockStatus::HeaderShort);

	MVLZRW1 cruncher;
	std::vector<uint8> garbage = good;
	memset(garbage.data() + kDataBlockFixedSize, 0xFF, 100);
	EXPECT_EQ(ReadBlock(garbage, &cruncher), DataBlockStatus::Corrupt);

	std::vector<uint8> link = good;
	WriteLE32(link.data() + kDataBlockPackedOffset, 0);
	MemoryArchive archive(link.data(), link.size());
	ArchiveReader reader(&archive);
	std::string target;
	EXPECT_EQ(reader.ReadSymLink2(&target), SymLinkStatus::TargetShort);
}

// Backup headers too short to hold their version, and catalogue records
// whose message size is damaged, are refused without a large allocation.
TEST(BrokenRecordTest, BackupHeaderAndCatalogueLengths)
{
	uint8 backup[kBackupHeaderSize];
	SampleBackupHeader().Encode(backup);
	WriteLE16(backup + 4, 7);
	MemoryArchive archive(backup, sizeof(backup));
	uint8 buffer[kBackupHeaderSize];
	uint32 read;
	EXPECT_EQ(ReadBackupHeaderData(&archive, buffer, &read), BackupHeaderStatus::ShortRead);

	MemoryArchive stream;
	ArchiveWriter writer(&stream, nullptr, "");
	ASSERT_EQ(writer.WriteCatalogue(SmallCatalogue()), B_OK);
	std::vector<uint8> good = stream.Bytes();
	auto readCatalogue = [](std::vector<uint8> bytes) {
		MemoryArchive source(bytes.data(), bytes.size());
		ArchiveReader reader(&source);
		BMessage catalogue;
		return reader.ReadCatalogueRecord(&catalogue);
	};
	EXPECT_EQ(readCatalogue(good), B_OK);
	for (uint64 size : {uint64(1) << 40, uint64(1) << 29, uint64(23), uint64(good.size() - 7)}) {
		std::vector<uint8> bytes = good;
		WriteLE64(bytes.data() + 8 + 16, size);
		EXPECT_EQ(readCatalogue(bytes), B_BAD_DATA) << size;
	}
	for (size_t cut = 0; cut < good.size(); cut++)
		EXPECT_NE(readCatalogue(std::vector<uint8>(good.begin(), good.begin() + cut)), B_OK);
}

// Garbage, with or without a valid first record, ends the walk with an
// error or a clean end, for either layout of file headers.
TEST(BrokenRecordTest, GarbageEndsTheWalk)
{
	std::vector<uint8> stream = SmallStream();
	MVLZRW1 cruncher;
	for (uint32 seed = 0; seed < 300; seed++) {
		std::vector<uint8> bytes = NoiseBytes(64 + seed * 7, seed);
		// Half of them start like a real record, so the checks past the
		// magic are reached.
		if (seed % 2 == 1)
			memcpy(bytes.data(), stream.data() + kBackupHeaderSize, 8);
		for (uint16 version : {kArchiveVersion, uint16(0x80)}) {
			MemoryArchive archive(bytes.data(), bytes.size());
			ArchiveReader reader(&archive, &cruncher, version);
			ReadBack readBack;
			EXPECT_NE(ReadStream(&reader, &readBack), B_OK) << seed;
		}
	}
}

// A write that fails at any byte makes the writer fail, and nothing past
// the failing byte is claimed.
TEST(BrokenRecordTest, WriteFailsAtEveryRecord)
{
	std::vector<uint8> complete = SmallStream();
	std::vector<size_t> ends = RecordEnds(complete);
	std::vector<int64> failures;
	for (size_t end : ends) {
		for (int64 delta : {-1, 0, 1}) {
			if (int64(end) + delta >= 0 && int64(end) + delta < int64(complete.size()))
				failures.push_back(int64(end) + delta);
		}
	}
	for (int64 failAt : failures) {
		MemoryArchive archive;
		FaultInjectingSink sink(&archive, failAt);
		ArchiveWriter writer(&sink, nullptr, "pw");
		status_t status = WriteStream(&writer, SampleBackupHeader("pw"), SmallEntries(),
			SmallCatalogue());
		EXPECT_NE(status, B_OK) << failAt;
		EXPECT_EQ(sink.Written(), failAt);
		EXPECT_EQ(writer.Position(), failAt);
		EXPECT_EQ(int64(archive.Bytes().size()), failAt);
	}
}
