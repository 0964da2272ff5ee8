// Backups written before the tree was laid out in layers (tests/data/
// legacy-backups, an LZRW1 one and a password-protected pass-through one)
// read back record by record, and the codec writes every record again byte
// for byte as it was stored.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include <storage/VolumeTable.h>

#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "CatalogueFile.h"
#include "CatalogueFormat.h"
#include "MVLZRW1.h"
#include "MVNone.h"
#include "MemoryArchive.h"

namespace {

const std::string kLegacyFolder = std::string(MORVANE_TEST_DATA_DIR) + "/legacy-backups";

std::vector<uint8> ReadBytes(const std::string& path)
{
	std::ifstream stream(path, std::ios::binary);
	return std::vector<uint8>(std::istreambuf_iterator<char>(stream), {});
}

struct LegacyBackup {
	const char* id;
	const char* title;
	const char* password;
	bool lzrw1;
};

const LegacyBackup kLegacyBackups[] = {
	{"2026120881778128", "Legacy LZRW1", "", true},
	{"2026120833275137", "Legacy protected", "sesame", false},
};

class LegacyArchiveTest : public ::testing::TestWithParam<LegacyBackup> {};

}	// namespace

TEST_P(LegacyArchiveTest, EveryRecordIsWrittenAgainAsStored)
{
	const LegacyBackup& backup = GetParam();
	std::vector<uint8> stored = ReadBytes(kLegacyFolder + "/images/" + backup.id);
	ASSERT_GT(stored.size(), kBackupHeaderSize);

	std::unique_ptr<MVCruncher> cruncher;
	if (backup.lzrw1)
		cruncher = std::make_unique<MVLZRW1>();
	else
		cruncher = std::make_unique<MVNone>();
	MemoryArchive source(stored.data(), stored.size());
	ArchiveReader reader(&source, backup.lzrw1 ? cruncher.get() : nullptr);
	MemoryArchive again;
	ArchiveWriter writer(&again, cruncher.get(), backup.password);

	int32 files = 0;
	int32 links = 0;
	bool sawCatalogue = false;
	EntryKind lastKind = EntryKind::File;
	ArchiveRecordKind kind;
	status_t status;
	while ((status = reader.NextRecord(&kind)) == B_OK) {
		switch (kind) {
			case ArchiveRecordKind::BackupHeader:
				EXPECT_EQ(reader.LastBackupHeader().backupId, backup.id);
				EXPECT_EQ(reader.LastBackupHeader().title, backup.title);
				EXPECT_EQ(reader.LastBackupHeader().password, backup.password);
				ASSERT_EQ(writer.WriteBackupHeader(reader.LastBackupHeader()), B_OK);
				break;
			case ArchiveRecordKind::FileHeader:
				lastKind = reader.Header().Kind();
				files += lastKind == EntryKind::File ? 1 : 0;
				ASSERT_EQ(writer.WriteFileHeader(reader.Header()), B_OK);
				break;
			case ArchiveRecordKind::DataBlock: {
				const DataBlock& block = reader.Block();
				if (lastKind == EntryKind::SymLink) {
					links++;
					EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data)),
						"../docs/readme.txt");
					ASSERT_EQ(writer.WriteSymLink(reinterpret_cast<const char*>(block.data)),
						B_OK);
					break;
				}
				std::vector<uint8> raw(block.data, block.data + block.length);
				ASSERT_EQ(writer.WriteDataBlock(raw.data(), block.length, block.number,
					block.IsLast()), B_OK);
				break;
			}
			case ArchiveRecordKind::EndOfMedium:
				ASSERT_EQ(writer.WriteEndOfMedium(), B_OK);
				break;
			case ArchiveRecordKind::Catalogue:
				sawCatalogue = true;
				ASSERT_EQ(writer.WriteCatalogue(reader.Catalogue()), B_OK);
				break;
		}
	}
	EXPECT_EQ(status, B_ENTRY_NOT_FOUND);
	EXPECT_TRUE(sawCatalogue);
	EXPECT_EQ(files, 3);
	EXPECT_EQ(links, 1);
	EXPECT_EQ(again.Bytes(), stored) << "a record is encoded differently than it was stored";
}

// The catalogue file beside the server holds the message the stream ends
// with, and the entries point at the file headers of the stream.
TEST_P(LegacyArchiveTest, CatalogueFileMatchesTheStream)
{
	const LegacyBackup& backup = GetParam();
	std::string path;
	ASSERT_EQ(VolumeTable::ToSystem((kLegacyFolder + "/logdata/" + backup.id).c_str(), &path),
		B_OK);
	BMessage catalogue;
	ASSERT_EQ(CatalogueFile::ReadContent(path.c_str(), &catalogue), B_OK);
	EXPECT_STREQ(catalogue.GetString(kLogTitleKey, ""), backup.title);
	EXPECT_STREQ(catalogue.GetString(kLogCryptKey, ""), backup.password);

	std::vector<uint8> stored = ReadBytes(kLegacyFolder + "/images/" + backup.id);
	MemoryArchive source(stored.data(), stored.size());
	ArchiveReader reader(&source);
	const char* entry;
	for (int32 i = 0; catalogue.FindString(kLogNameKey, i, &entry) == B_OK; i++) {
		SCOPED_TRACE(entry);
		int64 offset = -1;
		ASSERT_EQ(catalogue.FindInt64(kLogOffsetKey, i, &offset), B_OK);
		ASSERT_GE(source.Seek(offset, kArchiveSeekFromStart), 0);
		FileHeader header;
		ASSERT_EQ(reader.ReadFileHeaderData(&header), FileHeaderStatus::Ok);
		std::string leaf = std::string(entry).substr(std::string(entry).rfind('/') + 1);
		EXPECT_EQ(header.Name(), leaf);
	}
	EXPECT_EQ(catalogue.GetInt64(kLogSizeKey, 0), 212347);
}

INSTANTIATE_TEST_SUITE_P(KeptBackups, LegacyArchiveTest, ::testing::ValuesIn(kLegacyBackups));
