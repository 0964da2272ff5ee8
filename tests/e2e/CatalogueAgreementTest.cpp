// The three records of one backup agree: the catalogue file with its
// attributes, the catalogue record at the end of the image and the image's
// own records.

#include "MorvaneFixture.h"

#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "ArchiveReader.h"
#include "Catalogue.h"
#include "CatalogueFile.h"
#include "CatalogueFormat.h"
#include "MemoryArchive.h"

namespace {

// One file header of the image, with the data of the blocks after it.
struct ImageEntry {
	int64 offset = 0;
	std::string name;
	EntryKind kind = EntryKind::File;
	int64 size = 0;
	uint32 level = 0;
	int64 entryNumber = 0;
	std::string data;
};

struct ImageContent {
	BackupHeader header;
	int32 backupHeaders = 0;
	std::vector<ImageEntry> entries;
	BMessage catalogue;
	int32 catalogueRecords = 0;
	bool catalogueLast = false;
	status_t end = B_OK;
};

ImageContent ReadImage(const std::string& path)
{
	ImageContent content;
	std::optional<std::string> bytes = ReadWholeFile(path);
	if (!bytes)
		return content;
	MemoryArchive source(bytes->data(), bytes->size());
	ArchiveReader reader(&source);
	ArchiveRecordKind kind;
	int64 offset = source.Position();
	while ((content.end = reader.NextRecord(&kind)) == B_OK) {
		content.catalogueLast = kind == ArchiveRecordKind::Catalogue;
		if (kind == ArchiveRecordKind::BackupHeader) {
			content.header = reader.LastBackupHeader();
			content.backupHeaders++;
		} else if (kind == ArchiveRecordKind::FileHeader) {
			const FileHeader& header = reader.Header();
			ImageEntry entry;
			entry.offset = offset;
			entry.name = header.Name() != nullptr ? header.Name() : "";
			entry.kind = header.Kind();
			entry.size = header.Stat().size;
			entry.level = header.Level();
			entry.entryNumber = header.EntryNumber();
			content.entries.push_back(entry);
		} else if (kind == ArchiveRecordKind::DataBlock && !content.entries.empty()) {
			const DataBlock& block = reader.Block();
			content.entries.back().data.append(reinterpret_cast<const char*>(block.data),
				block.length);
		} else if (kind == ArchiveRecordKind::Catalogue) {
			content.catalogue = reader.Catalogue();
			content.catalogueRecords++;
		}
		offset = source.Position();
	}
	return content;
}

std::vector<char> Flattened(const BMessage& message)
{
	std::vector<char> bytes;
	EXPECT_EQ(message.Flatten(&bytes), B_OK);
	return bytes;
}

std::string LeafOf(const std::string& path)
{
	return path.substr(path.rfind('/') + 1);
}

class CatalogueAgreementTest : public MorvaneFixture {};

}	// namespace

// Catalogue file, its attributes, the image's catalogue record and the
// image's file headers and blocks describe the same entries at the same
// offsets with the same sizes, title and total.
TEST_F(CatalogueAgreementTest, FileAttributesRecordAndImageAgree)
{
	fSource.WriteFile("data/empty", "");
	fSource.WriteFile("data/two-blocks", std::string(65513, 't'));
	std::string big;
	for (uint32 i = 0; big.size() < 300000; i++)
		big += std::to_string(i * 2246822519u);
	fSource.WriteFile("data/sub/big", big);
	ASSERT_EQ(symlink("two-blocks", Source("data/link").c_str()), 0);

	CommandResult backup = Run({"backup", "--to", Source("images"), "--title", "Agreement",
		Source("data")});
	ASSERT_EQ(backup.exitCode, 0) << backup.output;
	std::vector<std::string> ids = BackupIds();
	ASSERT_EQ(ids.size(), 1u);
	const std::string& id = ids[0];

	std::string cataloguePath = SystemPath(LogDataFolder() + "/" + id);
	BMessage message;
	ASSERT_EQ(CatalogueFile::Read(cataloguePath.c_str(), &message), B_OK);
	Catalogue catalogue(message);
	CatalogueAttributes attributes;
	ASSERT_EQ(CatalogueFile::ReadAttributes(cataloguePath.c_str(), &attributes), B_OK);
	ImageContent image = ReadImage(Source("images/" + id));
	ASSERT_EQ(image.end, B_ENTRY_NOT_FOUND) << "the image has a damaged record";

	// The record at the end of the image is the catalogue file's content.
	EXPECT_EQ(image.catalogueRecords, 1);
	EXPECT_TRUE(image.catalogueLast);
	EXPECT_TRUE(Flattened(image.catalogue) == Flattened(message));

	// Backup-wide values: file, attributes and backup header.
	int64 size = message.GetInt64(kLogSizeKey, -1);
	int32 date = message.GetInt32(kLogDateKey, -1);
	EXPECT_EQ(std::string(message.GetString(kLogIdKey, "")), id);
	EXPECT_EQ(catalogue.Title(), "Agreement");
	EXPECT_EQ(attributes.title, "Agreement");
	EXPECT_EQ(int64(attributes.size), size);
	EXPECT_EQ(attributes.date, date);
	EXPECT_EQ(int32(attributes.version), int32(catalogue.Version()));
	EXPECT_EQ(attributes.mode, 1);
	EXPECT_FALSE(attributes.hasPassword);
	EXPECT_EQ(image.backupHeaders, 1);
	EXPECT_EQ(image.header.backupId, id);
	EXPECT_EQ(image.header.title, "Agreement");
	EXPECT_EQ(image.header.creationTime, date);

	// Entry by entry: catalogue arrays against the headers in stream order.
	ASSERT_EQ(catalogue.CountEntries(), int32(image.entries.size()));
	EXPECT_EQ(image.header.entryCount, catalogue.CountEntries());
	int64 sum = 0;
	std::map<std::string, std::string> data;
	for (int32 i = 0; i < catalogue.CountEntries(); i++) {
		CatalogueEntry entry;
		ASSERT_EQ(catalogue.EntryAt(i, &entry), B_OK);
		const ImageEntry& header = image.entries[i];
		SCOPED_TRACE(entry.path);
		EXPECT_EQ(entry.offset, header.offset);
		// Folders count nothing towards the backup; their headers keep the
		// size stat gives them.
		if (entry.kind != EntryKind::Directory && entry.kind != EntryKind::VolumeRoot) {
			EXPECT_EQ(entry.size, header.size);
		}
		EXPECT_EQ(entry.kind, header.kind);
		EXPECT_EQ(int64(entry.level), int64(header.level));
		EXPECT_EQ(int64(entry.entryNumber), header.entryNumber);
		EXPECT_EQ(entry.mediumNumber, 1);
		if (entry.level > 0) {
			EXPECT_EQ(LeafOf(entry.path), header.name);
		}
		sum += entry.size;
		if (entry.kind == EntryKind::File) {
			EXPECT_EQ(int64(header.data.size()), entry.size);
			data[entry.path] = header.data;
		}
	}
	EXPECT_EQ(sum, size);
	EXPECT_EQ(image.header.totalSize, size);
	EXPECT_EQ(image.entries.front().offset, 220);
	EXPECT_TRUE(data["/Source/data/sub/big"] == big);
	EXPECT_EQ(data["/Source/data/two-blocks"], std::string(65513, 't'));
	EXPECT_EQ(data.count("/Source/data/empty"), 1u);

	// The listing reads the same size and title.
	std::string listed = Run({"backups", "--json"}).output;
	EXPECT_NE(listed.find("\"title\":\"Agreement\""), std::string::npos) << listed;
	EXPECT_NE(listed.find("\"size\":" + std::to_string(size)), std::string::npos) << listed;
}
