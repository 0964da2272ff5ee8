#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <tuple>

#include <kernel/fs_info.h>
#include <storage/VolumeTable.h>

#include "BackupHeader.h"
#include "Catalogue.h"
#include "InsertTestSupport.h"
#include "InsertTexts.h"
#include "JobEndStatus.h"
#include "MVTextFormat.h"

// Backups written by the real backup worker (or by hand, to damage them),
// their catalogue files removed, read back by the insert worker.

namespace {

// Bytes that do not repeat within a block.
std::string Pattern(size_t length, uint32 seed)
{
	std::string data(length, '\0');
	for (size_t i = 0; i < length; i++)
		data[i] = char((i * 7 + seed) % 251);
	return data;
}

// Every entry kind: an empty file, a file of two blocks with an attribute, a
// link, a read-only folder with a file inside.
void MakeTree(TestFolder& folder)
{
	folder.WriteFile("sys/src/empty", "");
	folder.WriteFile("sys/src/big", Pattern(70000, 1));
	ASSERT_EQ(setxattr((folder / "sys/src/big").c_str(), "user.note", "hello", 5, 0), 0);
	folder.WriteFile("sys/src/locked/inner", "inner data");
	ASSERT_EQ(symlink("big", (folder / "sys/src/link").c_str()), 0);
	ASSERT_EQ(chmod((folder / "sys/src/locked").c_str(), 0555), 0);
	folder.MakeFolder("sys/out");
}

void ExpectRestoredTree(InsertTestBed& insert, const std::string& id)
{
	BMessage end = insert.RunRestore(id, "/sys/src", "/sys/out");
	EXPECT_EQ(end.GetInt32("status", -1), kJobEndedSuccessfully);
	std::vector<std::string> original = DescribeTree(insert.Bed().Folder() / "sys/src");
	EXPECT_EQ(original.size(), 5u);
	EXPECT_EQ(DescribeTree(insert.Bed().Folder() / "sys/out/src"), original);
}

// Cuts the image just before its catalogue record.
void CutRecord(std::vector<uint8>* image)
{
	std::vector<ImageRecord> records = WalkImage(*image);
	ASSERT_FALSE(records.empty());
	ASSERT_EQ(records.back().kind, ArchiveRecordKind::Catalogue);
	image->resize(size_t(records.back().offset));
}

void CutRecordOf(const std::string& native)
{
	std::vector<uint8> image = ReadImage(native);
	CutRecord(&image);
	WriteImage(native, image);
}

const ImageRecord& RecordNamed(const std::vector<ImageRecord>& records, const char* name)
{
	for (const ImageRecord& record : records) {
		if (record.name == name)
			return record;
	}
	ADD_FAILURE() << "no header " << name;
	return records.front();
}

std::vector<std::string> PathsOf(const BMessage& message)
{
	std::vector<std::string> paths;
	const char* path;
	for (int32 i = 0; message.FindString(kLogNameKey, i, &path) == B_OK; i++)
		paths.push_back(path);
	return paths;
}

// The native folder of the medium whose copy of the backup has that number.
std::string FindMedium(TestFolder& folder, const std::string& id, int32 number)
{
	for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
		std::vector<uint8> image = ReadImage(entry.path().string() + "/backups/" + id);
		if (entry.path().filename().string().rfind("media", 0) == 0
			&& image.size() >= kBackupHeaderSize
			&& BackupHeader::Decode(image.data()).mediumNumber == number)
			return entry.path().string();
	}
	return std::string();
}

// Every field a file header carries agrees, the size aside; the scanned
// entries' sizes, in order.
std::vector<int64> ExpectSameEntries(const Catalogue& scanned, const Catalogue& original)
{
	auto fields = [](const CatalogueEntry& entry) {
		return std::tuple(entry.path, int32(entry.kind), entry.level, entry.mediumNumber,
			entry.offset, entry.modificationTime, entry.entryNumber);
	};
	std::vector<int64> sizes;
	EXPECT_EQ(scanned.CountEntries(), original.CountEntries());
	CatalogueEntry want;
	CatalogueEntry got;
	for (int32 i = 0; original.EntryAt(i, &want) == B_OK; i++) {
		EXPECT_EQ(scanned.EntryAt(i, &got), B_OK);
		EXPECT_EQ(fields(got), fields(want));
		sizes.push_back(got.size);
	}
	return sizes;
}

int32 WantedMedium(const std::string& text)
{
	size_t hash = text.rfind('#');
	return hash == std::string::npos ? -1 : atoi(text.c_str() + hash + 1);
}

// What a scan rebuilt agrees with what the backup wrote on every field the
// backup header and the file headers carry; a folder's size is the one its
// header recorded.
void ExpectScanned(InsertTestBed& insert, const Catalogue& scanned, const Catalogue& original)
{
	EXPECT_EQ(scanned.Message().GetInt32(kLogScannedKey, 0), 1);
	for (const char* key : {kLogIdKey, kLogTitleKey, kLogCompressionKey, kLogCryptKey,
			kLogDestinationKey}) {
		EXPECT_STREQ(scanned.Message().GetString(key, "-"), original.Message().GetString(key, "?"))
			<< key;
	}
	for (const char* key : {kLogDateKey, kLogJobIdKey, kLogModeKey, kLogBaseIdKey})
		EXPECT_EQ(scanned.Message().GetInt32(key, -1), original.Message().GetInt32(key, -2)) << key;
	EXPECT_EQ(scanned.Version(), original.Version());
	std::vector<int64> sizes = ExpectSameEntries(scanned, original);
	int64 sum = 0;
	for (int32 i = 0; i < int32(sizes.size()); i++) {
		struct stat status;
		ASSERT_EQ(lstat(insert.Bed().Native(original.Message().GetString(kLogNameKey, i, ""))
			.c_str(), &status), 0);
		EXPECT_EQ(sizes[size_t(i)], status.st_size) << i;
		sum += sizes[size_t(i)];
	}
	EXPECT_EQ(scanned.Message().GetInt64(kLogSizeKey, -1), sum);
}

}	// namespace

// A backup whose catalogue file is lost is read back: the quick way gives
// the catalogue the backup wrote; without the catalogue record the backup
// is scanned file by file into a catalogue marked as scanned. Either way
// 'MVJf' names the backup and a restore through the new catalogue gives the
// tree back.
TEST(InsertTest, LostCatalogueIsReadBack)
{
	for (bool scan : {false, true}) {
		SCOPED_TRACE(scan ? "scan" : "quick way");
		InsertTestBed insert;
		MakeTree(insert.Bed().Folder());
		std::string id = insert.Bed().RunBackup({"INCLUDE /sys/src/*"},
			scan ? "MVNone" : "MVLZRW1");
		ASSERT_FALSE(id.empty());
		Catalogue original(insert.ReadCatalogue(id));
		insert.RemoveCatalogue(id);
		if (scan)
			CutRecordOf(insert.Bed().Native("/dest/backups/" + id));

		BMessage end = insert.RunInsert({id}, "/dest/backups");
		EXPECT_EQ(end.GetInt32("status", -1), kJobEndedSuccessfully);
		EXPECT_STREQ(end.GetString("backup_id", ""), id.c_str());
		EXPECT_EQ(insert.Bed().CountLines(kTextInsertingFrom), 1);
		EXPECT_EQ(insert.Bed().CountLines(kTextInsertBackup), 1);
		EXPECT_EQ(insert.Bed().CountLines(kTextQuickInsertFailed), scan ? 1 : 0);
		EXPECT_EQ(insert.Bed().CountLines(kTextInsertSuccessful), 1);
		Catalogue inserted(insert.ReadCatalogue(id));
		EXPECT_EQ(inserted.CountEntries(), 7);
		if (scan)
			ExpectScanned(insert, inserted, original);
		else
			EXPECT_EQ(Flattened(inserted.Message()), Flattened(original.Message()));
		ExpectRestoredTree(insert, id);
	}
}

// Images consistent but for one flaw, each without its catalogue record: a
// name that would leave its folder or holds a "/" and lengths that do not fit
// their record keep one entry out with an error line; a backup that ends
// inside a record ends the job as corrupt, without a catalogue.
TEST(InsertTest, DamagedImages)
{
	using Flaw = std::function<void(std::vector<uint8>*, const std::vector<ImageRecord>&)>;
	struct Case {
		const char* name;
		Flaw flaw;
		int32 text;
		int32 status;
		// The entry the catalogue lacks; null: no catalogue is written.
		const char* missing;
	};
	auto rename = [](const char* to) {
		return [to](std::vector<uint8>* image, const std::vector<ImageRecord>& records) {
			memcpy(image->data() + RecordNamed(records, "ab").offset + kFileHeaderFixedSize, to, 2);
		};
	};
	const Case cases[] = {
		{"dot-dot leaf", rename(".."), kTextCannotReadItem, kJobEndedWithErrors, "/sys/t/ab"},
		{"slash in leaf", rename("a/"), kTextCannotReadItem, kJobEndedWithErrors, "/sys/t/ab"},
		{"attribute longer than its header",
			[](std::vector<uint8>* image, const std::vector<ImageRecord>& records) {
				uint8* header = image->data() + RecordNamed(records, "cd").offset;
				uint64 attribute = ReadLE64(header + kFileHeaderAttributesOffset);
				WriteLE32(header + attribute + kAttributeLengthOffset, 4096);
			}, kTextCannotReadItem, kJobEndedWithErrors, "/sys/t/cd"},
		{"cut inside a data block",
			[](std::vector<uint8>* image, const std::vector<ImageRecord>& records) {
				const ImageRecord& header = RecordNamed(records, "ab");
				image->resize(size_t(header.offset + header.length + 1000));
			}, kTextBackupCorrupt, kJobEndedAborted, nullptr},
		{"header longer than the medium",
			[](std::vector<uint8>* image, const std::vector<ImageRecord>& records) {
				uint8* header = image->data() + RecordNamed(records, "ef").offset;
				WriteLE32(header + kFileHeaderTotalOffset, 10000000);
			}, kTextBackupCorrupt, kJobEndedAborted, nullptr},
	};

	InsertTestBed insert;
	TestFolder& folder = insert.Bed().Folder();
	folder.WriteFile("sys/t/ab", Pattern(100000, 2));
	folder.WriteFile("sys/t/cd", "hello");
	ASSERT_EQ(setxattr((folder / "sys/t/cd").c_str(), "user.x", "value", 5, 0), 0);
	folder.WriteFile("sys/t/ef/gh", "x");
	int32 number = 0;
	for (const Case& test : cases) {
		SCOPED_TRACE(test.name);
		std::string id = insert.Bed().WriteBackup("damaged" + std::to_string(++number), "/sys/t",
			[&](std::vector<uint8>* image, BMessage*) {
				CutRecord(image);
				test.flaw(image, WalkImage(*image));
			});
		insert.RemoveCatalogue(id);
		BMessage end = insert.RunInsert({id}, "/dest");
		EXPECT_EQ(end.GetInt32("status", -1), test.status);
		EXPECT_EQ(insert.Bed().CountLines(test.text), 1);
		BMessage catalogue = insert.ReadCatalogue(id);
		if (test.missing == nullptr) {
			EXPECT_TRUE(catalogue.IsEmpty());
			EXPECT_FALSE(end.HasData("backup_id", B_STRING_TYPE));
			continue;
		}
		std::vector<std::string> expected{"/sys", "/sys/t", "/sys/t/ab", "/sys/t/cd",
			"/sys/t/ef", "/sys/t/ef/gh"};
		std::erase(expected, test.missing);
		EXPECT_EQ(PathsOf(catalogue), expected);
		EXPECT_EQ(catalogue.GetInt32(kLogScannedKey, 0), 1);
		EXPECT_STREQ(end.GetString("backup_id", ""), id.c_str());
	}
}

// What ends an insert before a catalogue is written: an add-on that cannot
// be loaded, a file without a backup header, a catalogue file that cannot
// be made.
TEST(InsertTest, FailuresEndTheJob)
{
	namespace fs = std::filesystem;
	struct Case {
		const char* what;
		const char* addOn;
		// Prepares the flaw given the backup's id; the id to insert.
		std::function<std::string(InsertTestBed* insert, const std::string& id)> flaw;
		int32 text;
	};
	const Case cases[] = {
		{"no such add-on", "MVMissing",
			[](InsertTestBed*, const std::string& id) { return id; }, kTextAddOnLoad},
		{"no backup header", "MVImage",
			[](InsertTestBed* insert, const std::string&) {
				insert->Bed().Folder().WriteFile("dest/junk", std::string(300, 'j'));
				return std::string("junk");
			}, kTextNoBackupHeader},
		{"the catalogue folder is a file", "MVImage",
			[](InsertTestBed* insert, const std::string& id) {
				std::string logdata = insert->Bed().Native(std::string(kServerFolder)
					+ "/logdata");
				fs::remove_all(logdata);
				insert->Bed().Folder().WriteFile("sys/server/logdata", "in the way");
				return id;
			}, kTextCatalogueCreate},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.what);
		InsertTestBed insert;
		insert.Bed().Folder().WriteFile("sys/t/file", "data");
		std::string id = insert.Bed().WriteBackup("failing", "/sys/t");
		insert.RemoveCatalogue(id);
		std::string inserted = test.flaw(&insert, id);
		BMessage end = insert.RunInsert({inserted}, "/dest", nullptr, test.addOn);
		EXPECT_EQ(end.GetInt32("status", -1), kJobEndedAborted);
		EXPECT_EQ(insert.Bed().CountLines(test.text), 1);
		EXPECT_FALSE(end.HasData("backup_id", B_STRING_TYPE));
	}
}

// A job without identifiers inserts nothing and says so; an identifier that
// is no plain file name is refused, and the job goes on with the next.
TEST(InsertTest, IdentifierLists)
{
	InsertTestBed insert;
	insert.Bed().Folder().WriteFile("sys/t/file", "data");
	std::string id = insert.Bed().WriteBackup("plain", "/sys/t");
	insert.RemoveCatalogue(id);
	struct Case {
		std::vector<std::string> ids;
		int32 text;
		std::vector<std::string> inserted;
	};
	const Case cases[] = {
		{{}, kTextNothingToInsert, {}},
		{{"../escape", id}, kTextNoSuchBackup, {id}},
	};
	for (const Case& test : cases) {
		BMessage end = insert.RunInsert(test.ids, "/dest");
		EXPECT_EQ(end.GetInt32("status", -1), kJobEndedWithErrors);
		EXPECT_EQ(insert.Bed().CountLines(test.text), 1);
		std::vector<std::string> inserted;
		const char* name;
		for (int32 i = 0; end.FindString("backup_id", i, &name) == B_OK; i++)
			inserted.push_back(name);
		EXPECT_EQ(inserted, test.inserted);
	}
	EXPECT_EQ(PathsOf(insert.ReadCatalogue(id)).size(), 3u);
	EXPECT_FALSE(ReadWholeFile(insert.Bed().Folder() / "sys/server/escape").has_value());
}

// A backup on two media of a removable volume. With its first medium in the
// drive the insert asks for the last one, once, and takes the record from
// it; without the record it scans the media in their order, asking for each,
// and every entry keeps its medium and offset.
TEST(InsertTest, TwoMedia)
{
	InsertTestBed insert;
	TestFolder& folder = insert.Bed().Folder();
	folder.WriteFile("sys/m/spans", Pattern(600000, 7));
	folder.WriteFile("sys/m/tail", "after the change");
	dev_t device = dev_t(dev_for_path("/media"));
	ASSERT_GT(device, 0);
	std::string id = insert.Bed().RunBackup({"INCLUDE /sys/m/*"}, "MVNone", "/media/backups",
		[&](const BMessage&) { ASSERT_EQ(VolumeTable::InsertMedium(device, nullptr), B_OK); });
	ASSERT_FALSE(id.empty());
	BMessage original = insert.ReadCatalogue(id);
	insert.RemoveCatalogue(id);
	ASSERT_EQ(VolumeTable::Eject(device), B_OK);
	ASSERT_EQ(VolumeTable::InsertMedium(device, FindMedium(folder, id, 1).c_str()), B_OK);

	std::vector<std::string> questions;
	auto answer = [&](const BMessage& question) {
		questions.push_back(question.GetString("text", ""));
		int32 wanted = WantedMedium(questions.back());
		std::string medium = FindMedium(folder, id, wanted < 0 ? 2 : wanted);
		ASSERT_EQ(VolumeTable::InsertMedium(device, medium.c_str()), B_OK);
	};
	BMessage end = insert.RunInsert({id}, "/media/backups", answer);
	EXPECT_EQ(end.GetInt32("status", -1), kJobEndedSuccessfully);
	EXPECT_EQ(questions, std::vector<std::string>{
		MVTextFormat::FormatText(kTextInsertLastMedia, {"round trip"})});
	EXPECT_EQ(Flattened(insert.ReadCatalogue(id)), Flattened(original));

	// The last medium is in the drive.
	CutRecordOf(insert.Bed().Native("/media/backups/" + id));
	insert.RemoveCatalogue(id);
	questions.clear();
	end = insert.RunInsert({id}, "/media/backups", answer);
	EXPECT_EQ(end.GetInt32("status", -1), kJobEndedSuccessfully);
	ASSERT_EQ(questions.size(), 2u);
	EXPECT_EQ(WantedMedium(questions[0]), 1);
	EXPECT_EQ(WantedMedium(questions[1]), 2);
	(void)ExpectSameEntries(Catalogue(insert.ReadCatalogue(id)), Catalogue(original));
}
