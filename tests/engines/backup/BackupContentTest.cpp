// What a backup writes: every kind of entry in stream order with its data,
// links and attributes, checked against the catalogue file; the incremental
// filter; and the compressors' effect on the statistics.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <map>

#include <storage/Node.h>

#include "BackupTestSupport.h"
#include "Catalogue.h"
#include "CatalogueFile.h"
#include "NextSecond.h"
#include "ServerProtocol.h"

namespace {

std::string Pattern(size_t size, int seed)
{
	std::string data(size, '\0');
	for (size_t i = 0; i < size; i++)
		data[i] = char((i * 31 + size_t(seed) * 7 + i / 253) & 0xff);
	return data;
}

// The file contents by leaf name, joined from their data blocks, with the
// block numbers and next fields checked on the way.
std::map<std::string, std::string> FileData(const std::vector<ImageRecord>& records)
{
	std::map<std::string, std::string> files;
	std::string current;
	uint32 expectedBlock = 1;
	for (const ImageRecord& record : records) {
		if (record.kind == ArchiveRecordKind::FileHeader) {
			current = record.name;
			files[current];
			expectedBlock = 1;
		} else if (record.kind == ArchiveRecordKind::DataBlock) {
			EXPECT_EQ(record.blockNumber, expectedBlock++) << current;
			files[current] += record.data;
		}
	}
	return files;
}

}	// namespace

// A full backup holds the volume root, the folders before their contents,
// files of every size around the block limit with their exact bytes, a link
// with its target and a file's attributes; the catalogue file lists the same
// entries at the offsets where their headers are.
TEST_F(BackupEngineTest, FullBackupOfEveryKindOfEntry)
{
	const std::map<std::string, size_t> sizes = {{"empty", 0}, {"one", 1},
		{"exact", 65512}, {"over", 65513}, {"big", 3 * 1024 * 1024 + 17}};
	int seed = 0;
	for (const auto& [name, size] : sizes)
		fFolder.WriteFile("hd/src/" + name, Pattern(size, seed++));
	fFolder.WriteFile("hd/src/sub/deeper/leaf", "leaf data");
	ASSERT_EQ(symlink("sub/deeper/leaf", (fFolder / "hd/src/link").c_str()), 0);
	BNode node("/HD/src/one");
	ASSERT_EQ(node.WriteAttr("note", B_STRING_TYPE, 0, "hello", 6), 6);

	std::optional<BMessage> finished = RunJob(MakeJob({"INCLUDE /HD/src/*"}));
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), kJobEndedSuccessfully);
	EXPECT_TRUE(ErrorTexts().empty());
	std::string id = finished->GetString("backup_id", "");
	ASSERT_EQ(id.size(), 16u);

	std::vector<ImageRecord> records = ReadImage(NativeImage("disk/backups", id));
	ASSERT_GE(records.size(), 3u);
	EXPECT_EQ(records.front().kind, ArchiveRecordKind::BackupHeader);
	EXPECT_EQ(records.front().name, id);
	EXPECT_EQ(records.back().kind, ArchiveRecordKind::Catalogue);

	std::map<std::string, std::string> files = FileData(records);
	seed = 0;
	for (const auto& [name, size] : sizes)
		EXPECT_EQ(files[name], Pattern(size, seed++)) << name;
	EXPECT_EQ(files["leaf"], "leaf data");
	EXPECT_EQ(files["link"], std::string("sub/deeper/leaf") + '\0');

	// Blocks: 65512 bytes is one block, 65513 two; the last has next 0.
	auto blocksOf = [&records](const std::string& name) {
		std::vector<uint32> next;
		bool inside = false;
		for (const ImageRecord& record : records) {
			if (record.kind == ArchiveRecordKind::FileHeader)
				inside = record.name == name;
			else if (inside && record.kind == ArchiveRecordKind::DataBlock)
				next.push_back(record.next);
		}
		return next;
	};
	EXPECT_EQ(blocksOf("exact").size(), 1u);
	EXPECT_EQ(blocksOf("exact").back(), 0u);
	ASSERT_EQ(blocksOf("over").size(), 2u);
	EXPECT_NE(blocksOf("over").front(), 0u);
	EXPECT_TRUE(blocksOf("empty").empty());

	BMessage message;
	ASSERT_EQ(CatalogueFile::Read(CataloguePath(id).c_str(), &message), B_OK);
	Catalogue catalogue(message);
	std::vector<const ImageRecord*> headers;
	for (const ImageRecord& record : records) {
		if (record.kind == ArchiveRecordKind::FileHeader)
			headers.push_back(&record);
	}
	ASSERT_EQ(catalogue.CountEntries(), int32(headers.size()));
	for (int32 i = 0; i < catalogue.CountEntries(); i++) {
		CatalogueEntry entry;
		ASSERT_EQ(catalogue.EntryAt(i, &entry), B_OK);
		EXPECT_EQ(entry.offset, headers[i]->offset) << entry.path;
		EXPECT_EQ(entry.kind, headers[i]->entryKind) << entry.path;
		EXPECT_EQ(int64(entry.level), int64(headers[i]->level)) << entry.path;
		EXPECT_EQ(entry.entryNumber, i);
		EXPECT_EQ(entry.mediumNumber, 1);
	}
	CatalogueEntry root;
	ASSERT_EQ(catalogue.EntryAt(0, &root), B_OK);
	EXPECT_EQ(root.kind, EntryKind::VolumeRoot);
	EXPECT_EQ(root.offset, 220);
	EXPECT_EQ(catalogue.Message().GetString(kLogIdKey, ""), id);

	CatalogueAttributes attributes;
	ASSERT_EQ(CatalogueFile::ReadAttributes(CataloguePath(id).c_str(), &attributes), B_OK);
	EXPECT_EQ(attributes.title, "Test backup");
	EXPECT_EQ(int64(attributes.size), finished->GetInt64("size", -1));

	bool attributeFound = false;
	for (const ImageRecord& record : records) {
		for (const auto& [name, value] : record.attributes)
			attributeFound |= record.name == "one" && name == "note" && value == std::string("hello", 6);
	}
	EXPECT_TRUE(attributeFound);
	// One line per file, folder, link and root.
	EXPECT_EQ(CountLines(kLineFile, kTextSingle), 6);
	EXPECT_EQ(CountLines(kLineSymLink, kTextSingle), 1);
	EXPECT_EQ(CountLines(kLineVolumeRoot, kTextSingle), 1);
	EXPECT_EQ(fServerInbox.Count(kMsgJobFinished), 1);
}

// An incremental backup keeps only changed files and the folders that lead
// to them; with nothing changed it ends at once with text 42.
TEST_F(BackupEngineTest, IncrementalFilter)
{
	fFolder.WriteFile("hd/src/old/a", "old");
	int32 archiveTime = NextSecond();
	fFolder.WriteFile("hd/src/new/b", "new");

	BMessage job = MakeJob({"INCLUDE /HD/src/*"}, "/Disk/backups", "MVNone", 2);
	job.AddTime("archive_time", archiveTime);
	std::optional<BMessage> finished = RunJob(job);
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), 0);
	std::vector<ImageRecord> records
		= ReadImage(NativeImage("disk/backups", finished->GetString("backup_id", "")));
	std::vector<std::string> names;
	for (const ImageRecord& record : records) {
		if (record.kind == ArchiveRecordKind::FileHeader)
			names.push_back(record.name);
	}
	EXPECT_EQ(std::count(names.begin(), names.end(), "b"), 1);
	EXPECT_EQ(std::count(names.begin(), names.end(), "new"), 1);
	EXPECT_EQ(std::count(names.begin(), names.end(), "a"), 0);

	fSubscriber->Inbox().Clear();
	BMessage nothing = MakeJob({"INCLUDE /HD/src/old/a"}, "/Disk/backups", "MVNone", 3);
	nothing.AddTime("archive_time", int32(time(nullptr) + 3600));
	finished = RunJob(nothing);
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), 1);
	EXPECT_EQ(ErrorTexts(), std::vector<int32>{42});
	EXPECT_FALSE(ReadWholeFile(CatalogueNative(finished->GetString("backup_id", ""))));
}

// The pass-through compressor leaves no pack-ratio line; LZRW1 shrinks
// repetitive data, says so, and its blocks read back through it.
TEST_F(BackupEngineTest, PackRatioOnlyWithARealCompressor)
{
	fFolder.WriteFile("hd/src/text", std::string(200000, 'a'));
	std::optional<BMessage> finished = RunJob(MakeJob({"INCLUDE /HD/src/text"}));
	ASSERT_TRUE(finished);
	EXPECT_EQ(CountLines(kLineStatistics, kTextPackRatio), 0);
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupSuccessful), 1);

	fSubscriber->Inbox().Clear();
	finished = RunJob(MakeJob({"INCLUDE /HD/src/text"}, "/Disk/backups", "MVLZRW1"));
	ASSERT_TRUE(finished);
	EXPECT_EQ(CountLines(kLineStatistics, kTextPackRatio), 1);
	image_id image = 0;
	BMessage settings;
	MVCruncher* cruncher = fLoader->LoadCruncher("MVLZRW1", &settings, &image);
	ASSERT_NE(cruncher, nullptr);
	std::string image_path = NativeImage("disk/backups", finished->GetString("backup_id", ""));
	EXPECT_LT(ReadWholeFile(image_path)->size(), 100000u);
	EXPECT_EQ(FileData(ReadImage(image_path, cruncher))["text"], std::string(200000, 'a'));
	delete cruncher;
	AddOnLoader::Free(&image);
}
