#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "Catalogue.h"
#include "InsertScanner.h"
#include "MemoryArchive.h"

// The scan over streams written by the archive codec, each consistent but
// for the flaw under test, driven as the insert worker drives it.

namespace {

struct Item {
	const char* name;
	EntryKind kind;
	uint32 level;
	uint32 size;
};

// The records of items (file data of their size), without a backup header:
// the scan starts on the first file header. Offsets of the headers go to
// *offsets.
std::vector<uint8> Stream(const std::vector<Item>& items, std::vector<int64>* offsets)
{
	MemoryArchive archive;
	ArchiveWriter writer(&archive, nullptr, "");
	int64 number = 0;
	for (const Item& item : items) {
		FileHeaderStat stat;
		stat.size = item.size;
		FileHeader header;
		header.Begin(item.kind, item.name, stat, item.level);
		header.Finish(number++);
		offsets->push_back(archive.Position());
		EXPECT_EQ(writer.WriteFileHeader(header), B_OK);
		std::vector<uint8> data(item.size, 'd');
		for (uint32 done = 0, block = 1; done < item.size; block++) {
			uint32 length = std::min(item.size - done, kDataBlockMaxRaw);
			EXPECT_EQ(writer.WriteDataBlock(data.data() + done, length, block,
				done + length == item.size), B_OK);
			done += length;
		}
	}
	return archive.Bytes();
}

// Runs the scan to its end; the paths of the catalogue and the last event.
InsertScanEvent Scan(const std::vector<uint8>& bytes, std::vector<std::string>* paths)
{
	MemoryArchive archive(bytes.data(), bytes.size());
	ArchiveReader reader(&archive);
	Catalogue catalogue;
	EXPECT_EQ(catalogue.Begin(CatalogueInfo()), B_OK);
	InsertScanner scanner(&catalogue);
	scanner.SetMedium(&reader, &archive, 1);
	InsertScanEvent event = scanner.ReadHeader();
	for (int32 steps = 0; steps < 10000; steps++) {
		switch (event) {
			case InsertScanEvent::EntryAdded:
			case InsertScanEvent::EntrySkipped:
				event = scanner.Data() != InsertEntryData::None ? scanner.ReadBlock()
					: scanner.ReadHeader();
				continue;
			case InsertScanEvent::BlockRead:
				event = scanner.ReadBlock();
				continue;
			case InsertScanEvent::StrayBlock:
			case InsertScanEvent::DataDone:
			case InsertScanEvent::BlockWrongMagic:
			case InsertScanEvent::BlockHeadDamaged:
			case InsertScanEvent::BlockDataDamaged:
				event = scanner.ReadHeader();
				continue;
			default:
				break;
		}
		break;
	}
	for (int32 i = 0; i < catalogue.CountEntries(); i++) {
		CatalogueEntry entry;
		EXPECT_EQ(catalogue.EntryAt(i, &entry), B_OK);
		paths->push_back(entry.path);
	}
	return event;
}

}	// namespace

// A folder whose header is skipped takes what lies below it along: none of
// it is filed under the folder before it. A block whose lengths disagree is
// passed by its total, and the scan goes on with the next entry.
TEST(InsertScannerTest, DamagedRecordsKeepTheTreeRight)
{
	const std::vector<Item> items = {
		{"vol", EntryKind::VolumeRoot, 0, 0},
		{"a", EntryKind::Directory, 1, 0},
		{"in-a", EntryKind::File, 2, 10},
		{"b", EntryKind::Directory, 1, 0},
		{"in-b", EntryKind::File, 2, 100000},
		{"c", EntryKind::File, 1, 5},
	};
	struct Case {
		const char* what;
		// Damages the stream, given the offsets of the headers.
		void (*flaw)(std::vector<uint8>* bytes, const std::vector<int64>& offsets);
		std::vector<std::string> paths;
	};
	const Case cases[] = {
		{"sound", [](std::vector<uint8>*, const std::vector<int64>&) {},
			{"/vol", "/vol/a", "/vol/a/in-a", "/vol/b", "/vol/b/in-b", "/vol/c"}},
		{"folder b's header does not fit",
			[](std::vector<uint8>* bytes, const std::vector<int64>& offsets) {
				uint8* header = bytes->data() + offsets[3];
				WriteLE64(header + kFileHeaderAttributesOffset,
					ReadLE32(header + kFileHeaderTotalOffset) + 8);
			}, {"/vol", "/vol/a", "/vol/a/in-a", "/vol/c"}},
		{"a block of in-b whose packed length passes its total",
			[](std::vector<uint8>* bytes, const std::vector<int64>& offsets) {
				// The first block of in-b follows its header.
				uint8* header = bytes->data() + offsets[4];
				uint8* first = header + ReadLE32(header + kFileHeaderTotalOffset);
				WriteLE32(first + kDataBlockPackedOffset,
					ReadLE32(first + kDataBlockTotalOffset) - 20);
			}, {"/vol", "/vol/a", "/vol/a/in-a", "/vol/b", "/vol/b/in-b", "/vol/c"}},
	};
	for (const Case& test : cases) {
		std::vector<int64> offsets;
		std::vector<uint8> bytes = Stream(items, &offsets);
		test.flaw(&bytes, offsets);
		std::vector<std::string> paths;
		EXPECT_EQ(Scan(bytes, &paths), InsertScanEvent::EndOfBackup) << test.what;
		EXPECT_EQ(paths, test.paths) << test.what;
	}
}
