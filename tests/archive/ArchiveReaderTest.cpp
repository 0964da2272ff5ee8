// A stream written by ArchiveWriter reads back through ArchiveReader as the
// same entries, attributes and data, for every compressor and with and
// without a password; the record layouts hold at their boundaries.

#include <gtest/gtest.h>

#include <memory>

#include <support/DataIO.h>

#include "ArchiveCrypt.h"
#include "ArchiveTestData.h"
#include "MemoryArchive.h"
#include "MVLZRW1.h"
#include "MVNone.h"

namespace {

std::vector<TestEntry> SampleEntries()
{
	std::vector<TestEntry> entries;
	entries.push_back({"boot", EntryKind::VolumeRoot, 0, {}, "", {}});
	entries.push_back({"abc", EntryKind::Directory, 1, {}, "",
		{{"MV:tag", B_STRING_TYPE, {'h', 'i', 0}}}});
	entries.push_back({"empty", EntryKind::File, 2, {}, "", {}});
	entries.push_back({"one", EntryKind::File, 2, PatternBytes(1, 1), "", {}});
	entries.push_back({"exact", EntryKind::File, 2, PatternBytes(kDataBlockMaxRaw, 2), "", {}});
	entries.push_back({"over", EntryKind::File, 2, PatternBytes(kDataBlockMaxRaw + 1, 3), "",
		{}});
	entries.push_back({"twice", EntryKind::File, 2, PatternBytes(2 * kDataBlockMaxRaw, 4), "",
		{}});
	entries.push_back({"noise", EntryKind::File, 2, NoiseBytes(kDataBlockMaxRaw, 5), "", {}});
	entries.push_back({"link", EntryKind::SymLink, 2, {}, "../abc/one", {}});
	entries.push_back({"abcd", EntryKind::File, 2, PatternBytes(300, 6), "",
		{{"user.big", B_RAW_TYPE, NoiseBytes(100000, 7)},
			{"MV:number", B_INT32_TYPE, {1, 2, 3, 4}}}});
	return entries;
}

BMessage SampleCatalogue()
{
	BMessage catalogue;
	catalogue.AddString("MV_LOGID", "2026120812345678");
	catalogue.AddInt16("MV_PRGVERSION", int16(kArchiveVersion));
	for (int i = 0; i < 3; i++)
		catalogue.AddInt64("MV_LOGOFFSET", 220 + i * 96);
	return catalogue;
}

bool SameMessage(const BMessage& a, const BMessage& b)
{
	std::vector<char> first;
	std::vector<char> second;
	return a.Flatten(&first) == B_OK && b.Flatten(&second) == B_OK && first == second;
}

enum class Compressor { Null, None, Lzrw1 };

std::unique_ptr<MVCruncher> MakeCruncher(Compressor compressor)
{
	switch (compressor) {
		case Compressor::None:
			return std::make_unique<MVNone>();
		case Compressor::Lzrw1:
			return std::make_unique<MVLZRW1>();
		default:
			return nullptr;
	}
}

class RoundTripTest
	: public ::testing::TestWithParam<std::tuple<Compressor, const char*>> {
};

// Offsets of the records of a stream, as a reader walking it finds them.
struct RecordAt {
	ArchiveRecordKind kind;
	int64 offset;
};

std::vector<RecordAt> RecordOffsets(MemoryArchive* archive, MVCruncher* cruncher)
{
	std::vector<RecordAt> records;
	archive->Seek(0, kArchiveSeekFromStart);
	ArchiveReader reader(archive, cruncher);
	ArchiveRecordKind kind;
	int64 offset = 0;
	while (reader.NextRecord(&kind) == B_OK) {
		records.push_back({kind, offset});
		offset = archive->Position();
	}
	return records;
}

const uint8* BlockAt(const MemoryArchive& archive, int64 offset)
{
	return archive.Bytes().data() + offset;
}

}

TEST_P(RoundTripTest, ReadsBackWhatWasWritten)
{
	auto [compressor, password] = GetParam();
	std::unique_ptr<MVCruncher> cruncher = MakeCruncher(compressor);
	std::vector<TestEntry> entries = SampleEntries();
	BackupHeader header = SampleBackupHeader(password);

	MemoryArchive archive;
	ArchiveWriter writer(&archive, cruncher.get(), password);
	ASSERT_EQ(WriteStream(&writer, header, entries, SampleCatalogue()), B_OK);

	archive.Seek(0, kArchiveSeekFromStart);
	ArchiveReader reader(&archive, cruncher.get());
	ReadBack readBack;
	ASSERT_EQ(ReadStream(&reader, &readBack), B_OK);
	EXPECT_EQ(readBack.header.password, password);
	EXPECT_EQ(readBack.header.jobId, 17);
	ASSERT_EQ(readBack.entries.size(), entries.size());
	for (size_t i = 0; i < entries.size(); i++)
		EXPECT_TRUE(readBack.entries[i] == entries[i]) << entries[i].name;
	EXPECT_TRUE(readBack.sawCatalogue);
	EXPECT_TRUE(SameMessage(readBack.catalogue, SampleCatalogue()));
}

// The password scrambles the bytes that are stored; without one they are
// stored as they are.
TEST(DataBlockLayoutTest, PasswordScramblesTheStoredData)
{
	const std::vector<uint8> data = PatternBytes(100, 9);
	for (const char* password : {"", "secret"}) {
		MemoryArchive archive;
		ArchiveWriter writer(&archive, nullptr, password);
		// The writer scrambles the bytes it is given in place.
		std::vector<uint8> raw = data;
		ASSERT_EQ(writer.WriteDataBlock(raw.data(), uint32(raw.size()), 1, true), B_OK);
		bool same = memcmp(archive.Bytes().data() + kDataBlockFixedSize, data.data(), 100) == 0;
		EXPECT_EQ(same, password[0] == '\0') << password;
	}
}

INSTANTIATE_TEST_SUITE_P(EveryCompressor, RoundTripTest,
	::testing::Combine(::testing::Values(Compressor::Null, Compressor::None, Compressor::Lzrw1),
		::testing::Values("", "secret")));

// Data blocks split files at 65512 bytes, and only the last block of a file
// has next = 0, also when the file fills its blocks exactly.
TEST(DataBlockLayoutTest, BlockBoundaries)
{
	struct Case {
		size_t size;
		std::vector<uint32> raw;
	};
	const Case cases[] = {
		{0, {}},
		{kDataBlockMaxRaw, {kDataBlockMaxRaw}},
		{kDataBlockMaxRaw + 1, {kDataBlockMaxRaw, 1}},
		{2 * kDataBlockMaxRaw, {kDataBlockMaxRaw, kDataBlockMaxRaw}},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.size);
		MemoryArchive archive;
		ArchiveWriter writer(&archive, nullptr, "");
		std::vector<TestEntry> entries = {
			{"f", EntryKind::File, 1, PatternBytes(test.size, 1), "", {}},
			{"g", EntryKind::File, 1, {}, "", {}}};
		ASSERT_EQ(WriteStream(&writer, SampleBackupHeader(), entries, BMessage()), B_OK);

		std::vector<RecordAt> records = RecordOffsets(&archive, nullptr);
		ASSERT_EQ(records.size(), 2 + test.raw.size() + 2);
		EXPECT_EQ(records[0].offset, 0);
		EXPECT_EQ(records[1].kind, ArchiveRecordKind::FileHeader);
		EXPECT_EQ(records[1].offset, kBackupHeaderSize);
		const uint8* fileHeader = BlockAt(archive, records[1].offset);
		uint32 headerLength = ReadLE32(fileHeader + kFileHeaderTotalOffset);
		EXPECT_EQ(ReadLE64(fileHeader + kFileHeaderDataOffset),
			test.size == 0 ? 0u : headerLength);
		for (size_t i = 0; i < test.raw.size(); i++) {
			const RecordAt& record = records[2 + i];
			ASSERT_EQ(record.kind, ArchiveRecordKind::DataBlock);
			const uint8* block = BlockAt(archive, record.offset);
			uint32 total = ReadLE32(block + kDataBlockTotalOffset);
			EXPECT_EQ(ReadLE32(block + kDataBlockPackedOffset), test.raw[i]);
			EXPECT_EQ(total, RoundUpToAlignment(kDataBlockFixedSize + test.raw[i]));
			EXPECT_EQ(ReadLE32(block + kDataBlockNumberOffset), i + 1);
			bool last = i + 1 == test.raw.size();
			EXPECT_EQ(ReadLE32(block + kDataBlockNextOffset), last ? 0 : total);
		}
		EXPECT_EQ(records[2 + test.raw.size()].kind, ArchiveRecordKind::FileHeader);
	}
}

// A file that changed size since its header was written stores no more than
// the recorded size, and its last stored block still ends the entry.
TEST(DataBlockLayoutTest, FileChangedSizeWhileWritten)
{
	struct Case {
		size_t actual;
		int64 recorded;
		int64 stored;
	};
	const Case cases[] = {{100, 200, 100}, {70000, 100, 100}, {70000, 70001, 70000}};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.actual);
		std::vector<uint8> data = PatternBytes(test.actual, 2);
		BMemoryIO file(data.data(), data.size());
		MemoryArchive archive;
		ArchiveWriter writer(&archive, nullptr, "");
		int64 written = -1;
		ASSERT_EQ(writer.WriteFileData(&file, test.recorded, &written), B_OK);
		EXPECT_EQ(written, test.stored);

		archive.Seek(0, kArchiveSeekFromStart);
		ArchiveReader reader(&archive);
		DataBlock block;
		int64 total = 0;
		DataBlockStatus status;
		while ((status = reader.ReadDataBlock(&block)) == DataBlockStatus::Ok) {
			total += block.length;
			if (block.IsLast())
				break;
		}
		EXPECT_EQ(status, DataBlockStatus::Ok);
		EXPECT_TRUE(block.IsLast());
		EXPECT_EQ(total, test.stored);
	}
}

// A link's one block holds the target and a NUL, stored as it is.
TEST(DataBlockLayoutTest, SymbolicLinkBlock)
{
	MemoryArchive archive;
	MVLZRW1 cruncher;
	ArchiveWriter writer(&archive, &cruncher, "secret");
	ASSERT_EQ(writer.WriteSymLink("target/path"), B_OK);
	const uint8* block = archive.Bytes().data();
	EXPECT_EQ(ReadLE32(block + kDataBlockPackedOffset), 12u);
	EXPECT_EQ(ReadLE32(block + kDataBlockNextOffset), 0u);
	EXPECT_EQ(ReadLE32(block + kDataBlockTotalOffset), 40u);
	EXPECT_STREQ(reinterpret_cast<const char*>(block + kDataBlockFixedSize), "target/path");

	archive.Seek(0, kArchiveSeekFromStart);
	ArchiveReader reader(&archive, &cruncher);
	reader.SetPassword("secret");
	std::string target;
	ASSERT_EQ(reader.ReadSymLink2(&target), SymLinkStatus::Ok);
	EXPECT_EQ(target, "target/path");
}

// SkipData passes over exactly one block and reports its next field.
TEST(DataBlockLayoutTest, SkipDataLandsOnTheNextRecord)
{
	MemoryArchive archive;
	ArchiveWriter writer(&archive, nullptr, "");
	std::vector<uint8> data = PatternBytes(100, 3);
	ASSERT_EQ(writer.WriteDataBlock(data.data(), 100, 1, false), B_OK);
	ASSERT_EQ(writer.WriteEndOfMedium(), B_OK);
	archive.Seek(0, kArchiveSeekFromStart);
	ArchiveReader reader(&archive);
	uint32 next = 0;
	ASSERT_EQ(reader.SkipData(&next), SkipStatus::Ok);
	EXPECT_EQ(next, RoundUpToAlignment(kDataBlockFixedSize + 100));
	ArchiveRecordKind kind;
	ASSERT_EQ(reader.NextRecord(&kind), B_OK);
	EXPECT_EQ(kind, ArchiveRecordKind::EndOfMedium);
}

// The name decides where the attribute records begin; entries without
// attributes record no attribute offset.
TEST(FileHeaderLayoutTest, AttributeOffsets)
{
	struct Case {
		const char* name;
		uint64 first;
	};
	for (Case test : {Case{"abc", 80}, Case{"abcd", 88}}) {
		FileHeader header;
		TestEntry entry{test.name, EntryKind::File, 1, {}, "", {{"a", B_RAW_TYPE, {1}}}};
		MakeHeader(entry, 5, &header);
		EXPECT_EQ(ReadLE64(header.Data() + kFileHeaderAttributesOffset), test.first);
		EXPECT_EQ(header.Length(), test.first + 56);
		EXPECT_EQ(header.EntryNumber(), 5);
		uint32 cursor = 0;
		FileHeaderAttribute attribute;
		ASSERT_EQ(header.NextAttribute(&cursor, &attribute), B_OK);
		EXPECT_STREQ(attribute.name, "a");
		EXPECT_EQ(header.NextAttribute(&cursor, &attribute), B_ENTRY_NOT_FOUND);
	}

	FileHeader bare;
	MakeHeader({"abcd", EntryKind::Directory, 1, {}, "", {}}, 0, &bare);
	EXPECT_EQ(bare.AttributeOffset(), 0);
	EXPECT_EQ(bare.Length(), 88u);
	EXPECT_EQ(bare.DataOffset(), 0);
}

// An attribute larger than the buffer grows it by the writers' rule and is
// kept whole.
TEST(FileHeaderLayoutTest, GrowsForLargeAttributes)
{
	FileHeader header;
	std::vector<uint8> value = NoiseBytes(100000, 1);
	TestEntry entry{"f", EntryKind::File, 1, {}, "", {{"user.big", B_RAW_TYPE, value}}};
	MakeHeader(entry, 0, &header);
	// ((100000 + 8 + 45 + 65536) / 65536 + 1) * 65536
	EXPECT_EQ(header.BufferSize(), 3u * 65536);
	uint32 cursor = 0;
	FileHeaderAttribute attribute;
	ASSERT_EQ(header.NextAttribute(&cursor, &attribute), B_OK);
	ASSERT_EQ(attribute.length, value.size());
	EXPECT_EQ(memcmp(attribute.data, value.data(), value.size()), 0);
	EXPECT_EQ(header.Validate(), B_OK);
}

// Backup headers are 220 bytes; readers take no more of a longer one and
// bring older versions to the current fields.
TEST(BackupHeaderTest, EncodeDecodeAndLongerRecords)
{
	BackupHeader header = SampleBackupHeader("pw");
	header.title = std::string(64, 't');
	uint8 bytes[kBackupHeaderSize + 8] = {};
	header.Encode(bytes);
	EXPECT_EQ(ReadLE16(bytes + 4), kBackupHeaderSize);
	WriteLE16(bytes + 4, kBackupHeaderSize + 8);
	bytes[kBackupHeaderSize] = 0x5A;

	MemoryArchive archive(bytes, sizeof(bytes));
	uint8 buffer[kBackupHeaderSize];
	uint32 read = 0;
	ASSERT_EQ(ReadBackupHeaderData(&archive, buffer, &read), BackupHeaderStatus::Ok);
	EXPECT_EQ(read, kBackupHeaderSize);
	EXPECT_EQ(archive.Position(), kBackupHeaderSize);
	BackupHeader decoded = BackupHeader::Decode(buffer);
	EXPECT_EQ(decoded.title, header.title);
	EXPECT_EQ(decoded.password, "pw");
	EXPECT_EQ(decoded.totalSize, 123456);
	EXPECT_EQ(decoded.baseId, 9);
	EXPECT_EQ(MakeBackupId(2026, 3, 4, 42), "2026030400000042");
}

TEST(BackupHeaderTest, OlderVersionsAreConverted)
{
	struct Case {
		uint16 version;
		int16 removable;
		int64 totalSize;
		int32 jobId;
		int32 mode;
	};
	const Case cases[] = {
		{0x80, 0, 0, 0, 1},
		{0x81, 1, 0, 0, 1},
		{0x82, 1, 123456, 0, 1},
		{0x83, 1, 123456, 17, 2},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.version);
		BackupHeader header = SampleBackupHeader();
		header.version = test.version;
		header.removable = 1;
		uint8 bytes[kBackupHeaderSize];
		header.Encode(bytes);
		MemoryArchive archive(bytes, sizeof(bytes));
		uint8 buffer[kBackupHeaderSize];
		uint32 read;
		ASSERT_EQ(ReadBackupHeaderData(&archive, buffer, &read), BackupHeaderStatus::Ok);
		BackupHeader decoded = BackupHeader::Decode(buffer);
		EXPECT_EQ(decoded.removable, test.removable);
		EXPECT_EQ(decoded.totalSize, test.totalSize);
		EXPECT_EQ(decoded.jobId, test.jobId);
		EXPECT_EQ(decoded.mode, test.mode);
	}
}

// Records of backups older than 0x0100 have a fixed part 16 bytes shorter
// and narrower attribute fields; the reader converts them in memory.
TEST(FileHeaderLayoutTest, ReadsOlderLayout)
{
	std::vector<uint8> record(60 + 8 + 48, 0);
	WriteLE32(record.data(), kFileHeaderMagic);
	WriteLE16(record.data() + 4, 60);
	WriteLE16(record.data() + 12, uint16(record.size()));
	WriteLE16(record.data() + 14, uint16(EntryKind::File));
	WriteLE64(record.data() + 16, 77);
	WriteLE16(record.data() + 48, 68);
	WriteLE16(record.data() + 50, uint16(record.size()));
	WriteLE16(record.data() + 52, 3);
	WriteLE32(record.data() + 56, 2);
	memcpy(record.data() + 60, "old", 4);
	uint8* attribute = record.data() + 68;
	WriteLE32(attribute, kAttributeMagic);
	WriteLE32(attribute + 12, B_STRING_TYPE);
	WriteLE16(attribute + 28, 3);
	WriteLE16(attribute + 30, 0);
	WriteLE16(attribute + 32, 40);
	memcpy(attribute + 36, "at", 3);
	memcpy(attribute + 40, "xyz", 3);

	MemoryArchive archive(record.data(), record.size());
	ArchiveReader reader(&archive, nullptr, 0x90);
	FileHeader header;
	ASSERT_EQ(reader.ReadFileHeaderData(&header), FileHeaderStatus::Ok);
	EXPECT_EQ(header.Length(), record.size() + 16);
	EXPECT_EQ(header.Stat().size, 77);
	EXPECT_EQ(header.AttributeOffset(), 84);
	EXPECT_EQ(header.DataOffset(), int64(record.size() + 16));
	EXPECT_EQ(header.EntryNumber(), 3);
	EXPECT_EQ(header.Level(), 2u);
	EXPECT_STREQ(header.Name(), "old");
	uint32 cursor = 0;
	FileHeaderAttribute found;
	ASSERT_EQ(header.NextAttribute(&cursor, &found, 0x90), B_OK);
	EXPECT_STREQ(found.name, "at");
	EXPECT_EQ(std::string(reinterpret_cast<const char*>(found.data), found.length), "xyz");

	// Before 0x81 and 0x82 the entry number and the level did not exist.
	MemoryArchive again(record.data(), record.size());
	ArchiveReader older(&again, nullptr, 0x80);
	ASSERT_EQ(older.ReadFileHeaderData(&header), FileHeaderStatus::Ok);
	EXPECT_EQ(header.EntryNumber(), 0);
	EXPECT_EQ(header.Level(), 0u);
}

// The scrambling keys data with the password and undoes itself.
TEST(CryptTest, KeysAndEdges)
{
	uint8 data[5] = {1, 2, 3, 4, 5};
	const uint8 original[5] = {1, 2, 3, 4, 5};
	for (const char* key : {"", " abc", "\x80xyz", "\tab"}) {
		Crypt(data, sizeof(data), key);
		EXPECT_EQ(memcmp(data, original, 5), 0) << int(uint8(key[0]));
	}

	uint8 repeated[7] = {'k', 'e', 'y', 'k', 'e', 'y', 'k'};
	Crypt(repeated, sizeof(repeated), "key");
	for (uint8 byte : repeated)
		EXPECT_EQ(byte, 0);

	uint8 output[5];
	Crypt(data, sizeof(data), "a much longer key", output);
	EXPECT_EQ(memcmp(data, original, 5), 0);
	EXPECT_EQ(output[0], 1 ^ 'a');
	EXPECT_EQ(output[4], 5 ^ 'c');
	Crypt(output, sizeof(output), "a much longer key");
	EXPECT_EQ(memcmp(output, original, 5), 0);
}
