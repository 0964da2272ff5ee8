// How a backup ends when it cannot run, and how it answers pause, abort, a
// full removable medium, entries that vanish, shrink or change kind, and
// overwrite mode.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_set>

#include <kernel/fs_info.h>
#include <storage/VolumeTable.h>

#include "AddOnLoader.h"
#include "AwaitCondition.h"
#include "BackupTestSupport.h"
#include "Catalogue.h"
#include "CatalogueFile.h"
#include "ServerProtocol.h"

namespace {

bool IsLine(const BMessage& message, int32 textID)
{
	return message.GetInt32("linetype", 0) != kLineProgress && message.GetInt32("text_id", -1) == textID;
}

// Bytes no compressor shrinks, so that a file's blocks fill what they would
// without one.
std::string Noise(size_t size)
{
	std::string data(size, '\0');
	uint32 state = 12345;
	for (char& byte : data) {
		state = state * 1103515245u + 12345u;
		byte = char(state >> 23);
	}
	return data;
}

}	// namespace

// The jobs that break into the data of large files run with the
// pass-through compressor, whose blocks the worker reads itself, and with
// LZRW1, whose blocks are read and packed ahead on other threads.
class BackupWithCompressorTest : public BackupEngineTest,
	public ::testing::WithParamInterface<const char*> {
protected:
	void TearDown() override
	{
		delete fCruncher;
		fCruncher = nullptr;
		AddOnLoader::Free(&fImage);
		BackupEngineTest::TearDown();
	}

	BMessage Job(const std::vector<std::string>& lines, const char* target = "/Disk/backups")
	{
		return MakeJob(lines, target, GetParam());
	}

	// The compressor to read the image with; null for the pass-through.
	MVCruncher* Cruncher()
	{
		if (fCruncher == nullptr && strcmp(GetParam(), "MVNone") != 0) {
			BMessage settings;
			fCruncher = fLoader->LoadCruncher(GetParam(), &settings, &fImage);
		}
		return fCruncher;
	}

private:
	MVCruncher* fCruncher = nullptr;
	image_id fImage = 0;
};

INSTANTIATE_TEST_SUITE_P(Compressors, BackupWithCompressorTest,
	::testing::Values("MVNone", "MVLZRW1"));

// Failures before the first write end the job aborted with their one error
// text and leave neither an image nor a catalogue.
TEST_F(BackupEngineTest, FailuresBeforeTheFirstWrite)
{
	// Beside the real add-ons, a destination and a compressor that load
	// but have no factory.
	std::string addOns = fFolder / "loader/add-ons";
	std::filesystem::create_directories(addOns + "/destination");
	std::filesystem::create_directories(addOns + "/compressors");
	std::string built = std::string(MORVANE_DIST_DIR) + "/Backup_Server/add-ons/";
	for (const char* kind : {"destination", "compressors"}) {
		ASSERT_EQ(symlink(MORVANE_LOADER_TEST_ADDONS "/NoFactory",
			(addOns + "/" + kind + "/NoFactory").c_str()), 0);
	}
	ASSERT_EQ(symlink((built + "destination/MVImage").c_str(),
		(addOns + "/destination/MVImage").c_str()), 0);
	ASSERT_EQ(symlink((built + "compressors/MVNone").c_str(),
		(addOns + "/compressors/MVNone").c_str()), 0);
	fLoader = std::make_unique<AddOnLoader>(fFolder / "loader");
	fFolder.WriteFile("hd/src/a", "a");
	struct Case {
		const char* what;
		BMessage job;
		std::vector<int32> errors;
	};
	BMessage badAddOn = MakeJob({"INCLUDE /HD/src/a"});
	badAddOn.ReplaceString("addon", "NoSuchAddOn");
	BMessage badCompressor = MakeJob({"INCLUDE /HD/src/a"}, "/Disk/backups", "NoSuchPacker");
	BMessage corruptAddOn = MakeJob({"INCLUDE /HD/src/a"});
	corruptAddOn.ReplaceString("addon", "NoFactory");
	BMessage corruptCompressor = MakeJob({"INCLUDE /HD/src/a"}, "/Disk/backups", "NoFactory");
	std::vector<Case> cases = {
		{"no destination name", MakeJob({"INCLUDE /HD/src/a"}, nullptr), {37}},
		{"read-only destination", MakeJob({"INCLUDE /HD/src/a"}, "/CD/backups"), {38}},
		{"destination add-on", badAddOn, {22}},
		{"compressor add-on", badCompressor, {22}},
		{"destination add-on without factory", corruptAddOn, {23}},
		{"compressor add-on without factory", corruptCompressor, {23}},
		{"empty selection", MakeJob({"INCLUDE /HD/src/missing"}), {42}},
	};
	auto check = [this](const Case& test) {
		fSubscriber->Inbox().Clear();
		std::optional<BMessage> finished = RunJob(test.job);
		ASSERT_TRUE(finished) << test.what;
		EXPECT_EQ(finished->GetInt32("status", -1), 1) << test.what;
		EXPECT_EQ(ErrorTexts(), test.errors) << test.what;
		EXPECT_EQ(CountLines(kLineStatistics, kTextBackupAborted), 1) << test.what;
		std::string id = finished->GetString("backup_id", "");
		EXPECT_FALSE(ReadWholeFile(CatalogueNative(id))) << test.what;
		EXPECT_FALSE(ReadWholeFile(fFolder / ("disk/backups/" + id))) << test.what;
	};
	for (Case& test : cases)
		check(test);

	// A catalogue folder that cannot take the catalogue file is found out
	// before any data goes out.
	std::filesystem::remove_all(fFolder / "hd/server/logdata");
	fFolder.WriteFile("hd/server/logdata", "a file in the way");
	check({"catalogue folder", MakeJob({"INCLUDE /HD/src/a"}), {8}});
}

// A fixed volume without room for the selection refuses it with texts 43
// and 45 (the bytes needed and free).
TEST_F(BackupEngineTest, NotEnoughFreeSpace)
{
	fVolumes.reset();
	fVolumes.emplace("MORVANE_VOLUMES", "HD=" + fFolder / "hd" + ";Small=" + fFolder / "disk"
		+ ",size=1000");
	ASSERT_EQ(VolumeTable::Reload(), B_OK);
	fFolder.WriteFile("hd/src/big", std::string(5000, 'x'));
	std::optional<BMessage> finished = RunJob(MakeJob({"INCLUDE /HD/src/big"}, "/Small/backups"));
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), 1);
	EXPECT_EQ(ErrorTexts(), (std::vector<int32>{43, 45}));
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupAborted), 1);
}

// An entry removed after the scan is reported with text 326 and skipped;
// the rest is saved, the counts leave it out, and the backup ends with
// errors.
TEST_F(BackupEngineTest, EntryVanishedAfterTheScan)
{
	fFolder.WriteFile("hd/src/keep", "keep");
	fFolder.WriteFile("hd/src/gone", "gone");
	BMessenger worker = StartJob(MakeJob({"INCLUDE /HD/src/*"}), true);
	ASSERT_TRUE(fSubscriber->Inbox().Await(kMsgJobProgress, kPatience,
		[](const BMessage& line) { return IsLine(line, 48); }));
	ASSERT_EQ(std::remove((fFolder / "hd/src/gone").c_str()), 0);
	ASSERT_EQ(worker.SendMessage(kMsgJobContinue), B_OK);
	std::optional<BMessage> finished = Finish();
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), kJobEndedWithErrors);
	EXPECT_EQ(ErrorTexts(), std::vector<int32>{326});
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupEndedWithErrors), 1);
	BMessage message;
	ASSERT_EQ(CatalogueFile::Read(CataloguePath(finished->GetString("backup_id", "")).c_str(),
		&message), B_OK);
	Catalogue catalogue(message);
	ASSERT_EQ(catalogue.CountEntries(), 3);
	CatalogueEntry last;
	ASSERT_EQ(catalogue.EntryAt(2, &last), B_OK);
	EXPECT_EQ(last.path, "/HD/src/keep");
	EXPECT_EQ(finished->GetInt64("size", -1), 4);
	// The last progress counts the entries that were saved.
	std::optional<BMessage> progress;
	for (const BMessage& message : fSubscriber->Inbox().Messages()) {
		if (message.what == kMsgJobProgress && message.GetInt32("linetype", 0) == kLineProgress)
			progress = message;
	}
	ASSERT_TRUE(progress);
	EXPECT_EQ(progress->GetInt32("count", -1), 3);
	EXPECT_EQ(progress->GetInt32("maxcount", -1), 3);
}

// Abort during the data of a large file: status 1, text 18, no catalogue.
// Pause before that holds the job at a block; continuing writes the same
// file on with the next block number.
TEST_P(BackupWithCompressorTest, PauseContinueAndAbort)
{
	fFolder.WriteFile("hd/src/large", Noise(64 * 1024 * 1024));
	BMessenger worker = StartJob(Job({"INCLUDE /HD/src/large"}));
	ASSERT_TRUE(fSubscriber->Inbox().Await(kMsgJobProgress, kPatience,
		[](const BMessage& line) { return IsLine(line, 49); }));
	ASSERT_EQ(worker.SendMessage(kMsgJobPause), B_OK);
	// While paused the image stops growing.
	std::string folder = fFolder / "disk/backups";
	auto imageSize = [&folder]() -> int64 {
		int64 size = 0;
		for (const auto& entry : std::filesystem::directory_iterator(folder))
			size = int64(entry.file_size());
		return size;
	};
	int64 before = -1;
	auto stopsGrowing = [&] {
		int64 now = imageSize();
		bool still = now == before;
		before = now;
		return still;
	};
	ASSERT_TRUE(AwaitCondition(stopsGrowing, kPatience, 50000));
	ASSERT_EQ(worker.SendMessage(kMsgJobContinue), B_OK);
	ASSERT_TRUE(AwaitCondition([&] { return imageSize() > before; }, kPatience, 1000));
	// Paused again at once, so that the abort meets the backup in the
	// middle of the file however fast the disk is.
	ASSERT_EQ(worker.SendMessage(kMsgJobPause), B_OK);
	ASSERT_TRUE(AwaitCondition(stopsGrowing, kPatience, 50000));
	ASSERT_EQ(worker.SendMessage(kMsgJobDelete), B_OK);
	std::optional<BMessage> finished = Finish();
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), 1);
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupAborted), 1);
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupSuccessful), 0);
	std::string id = finished->GetString("backup_id", "");
	EXPECT_FALSE(ReadWholeFile(CatalogueNative(id)));

	// The blocks written across the pause follow each other.
	std::vector<ImageRecord> records = ReadImage(NativeImage("disk/backups", id), Cruncher());
	uint32 expected = 1;
	for (const ImageRecord& record : records) {
		if (record.kind == ArchiveRecordKind::DataBlock) {
			EXPECT_EQ(record.blockNumber, expected++);
		}
	}
	EXPECT_GT(expected, 2u);
	EXPECT_TRUE(AwaitCondition([&worker] { return !worker.IsValid(); }, kPatience));
}

// A removable medium that fills up gets the end-of-medium record, is
// ejected, and the user is asked; after a new medium and continue, the
// backup goes on with a new header and the file that spans both media is
// whole when both parts are read.
TEST_P(BackupWithCompressorTest, MediaChangeOnARemovableDrive)
{
	std::string data = Noise(600000);
	fFolder.WriteFile("hd/src/spans", data);
	BMessenger worker = StartJob(Job({"INCLUDE /HD/src/spans"}, "/Media/backups"));
	std::optional<BMessage> question = fServerInbox.Await(kMsgQuestion, kPatience);
	ASSERT_TRUE(question);
	EXPECT_STREQ(question->GetString("title", ""), "Change Media");
	EXPECT_STREQ(question->GetString("label0", ""), "Continue");
	EXPECT_EQ(fServerInbox.Count(kMsgJobPause), 1);
	EXPECT_TRUE(fSubscriber->Inbox().Await(kMsgJobProgress, kPatience,
		[](const BMessage& line) { return IsLine(line, 2); }));

	int32 device = dev_for_path("/Media");
	ASSERT_GT(device, 0);
	ASSERT_EQ(VolumeTable::InsertMedium(dev_t(device), nullptr), B_OK);
	BMessage answer(MVToolServer::kMsgRequestAnswer);
	answer.AddInt32("which", 0);
	ASSERT_EQ(worker.SendMessage(&answer), B_OK);
	std::optional<BMessage> cont = fServerInbox.Await(kMsgJobContinue, kPatience);
	ASSERT_TRUE(cont);
	ASSERT_EQ(worker.SendMessage(&*cont), B_OK);
	std::optional<BMessage> finished = Finish();
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), 0);
	std::string id = finished->GetString("backup_id", "");

	std::vector<ImageRecord> first = ReadImage(fFolder / ("media.medium-1/backups/" + id),
		Cruncher());
	std::vector<ImageRecord> second = ReadImage(NativeImage("media/backups", id), Cruncher());
	ASSERT_FALSE(first.empty());
	ASSERT_FALSE(second.empty());
	EXPECT_EQ(first.back().kind, ArchiveRecordKind::EndOfMedium);
	EXPECT_EQ(second.front().kind, ArchiveRecordKind::BackupHeader);
	EXPECT_EQ(second.front().medium, 2);
	std::string joined;
	for (const auto* part : {&first, &second}) {
		for (const ImageRecord& record : *part) {
			if (record.kind == ArchiveRecordKind::DataBlock)
				joined += record.data;
		}
	}
	EXPECT_EQ(joined, data);
	EXPECT_EQ(CountLines(kLineInfo, kTextMedium), 2);
}

// In overwrite mode the backups already on the destination go first: the
// ones the server lists through 'MVxX', others directly; files that are
// no backups stay.
TEST_F(BackupEngineTest, OverwriteModeDeletesEarlierBackups)
{
	fFolder.WriteFile("hd/src/a", "a");
	std::optional<BMessage> first = RunJob(MakeJob({"INCLUDE /HD/src/a"}));
	ASSERT_TRUE(first);
	fSubscriber->Inbox().Clear();
	std::optional<BMessage> second = RunJob(MakeJob({"INCLUDE /HD/src/a"}));
	ASSERT_TRUE(second);
	std::string listedID = first->GetString("backup_id", "");
	std::string unlistedID = second->GetString("backup_id", "");
	ASSERT_NE(listedID, unlistedID);
	fFolder.WriteFile("disk/backups/notes.txt", "not a backup");

	BMessage list(kMsgLogData);
	list.AddString("name", listedID.c_str());
	list.AddString("title", "Listed");
	list.AddTime("date", int32(time(nullptr)));
	fServer->SetCatalogueList(list);

	fSubscriber->Inbox().Clear();
	BMessage job = MakeJob({"INCLUDE /HD/src/a"});
	BMessage volume;
	ASSERT_EQ(job.FindMessage("volume", &volume), B_OK);
	volume.AddBool(kVolumeOverwriteKey, true);
	job.ReplaceMessage("volume", &volume);
	std::optional<BMessage> finished = RunJob(job);
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), 0);
	std::optional<BMessage> deletion = fServerInbox.Await(kMsgDeleteBackups, 0);
	ASSERT_TRUE(deletion);
	EXPECT_EQ(deletion->GetString("name", ""), listedID);
	EXPECT_EQ(deletion->GetInt32("full", 0), 1);
	EXPECT_EQ(CountLines(kLineInfo, kTextDeleting), 2);
	EXPECT_FALSE(ReadWholeFile(NativeImage("disk/backups", listedID)));
	EXPECT_FALSE(ReadWholeFile(NativeImage("disk/backups", unlistedID)));
	EXPECT_TRUE(ReadWholeFile(fFolder / "disk/backups/notes.txt"));
	EXPECT_TRUE(ReadWholeFile(NativeImage("disk/backups", finished->GetString("backup_id", ""))));
}

// A file that shrinks while it is saved is reported with text 326; the rest
// of the size its header announced is stored as zeros, so that the stream
// stays readable, and the backup goes on with the next entry.
TEST_P(BackupWithCompressorTest, FileThatShrinksWhileSaved)
{
	// Large enough that the pause lands before the file is read through.
	constexpr size_t kSize = 96 * 1024 * 1024;
	constexpr off_t kKept = 1024 * 1024;
	fFolder.WriteFile("hd/src/shrinks", std::string(kSize, 'S'));
	fFolder.WriteFile("hd/src/zafter", "after");
	BMessenger worker = StartJob(Job({"INCLUDE /HD/src/*"}));
	ASSERT_TRUE(fSubscriber->Inbox().Await(kMsgJobProgress, kPatience,
		[](const BMessage& line) { return IsLine(line, 49); }));
	ASSERT_EQ(worker.SendMessage(kMsgJobPause), B_OK);
	std::string source = fFolder / "hd/src/shrinks";
	ASSERT_EQ(truncate(source.c_str(), kKept), 0);
	ASSERT_EQ(worker.SendMessage(kMsgJobContinue), B_OK);
	std::optional<BMessage> finished = Finish();
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), kJobEndedWithErrors);
	EXPECT_EQ(ErrorTexts(), std::vector<int32>{326});
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupEndedWithErrors), 1);
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupSuccessful), 0);

	std::string stored;
	bool after = false;
	bool inShrunk = false;
	for (const ImageRecord& record : ReadImage(NativeImage("disk/backups",
			finished->GetString("backup_id", "")), Cruncher())) {
		if (record.kind == ArchiveRecordKind::FileHeader) {
			inShrunk = record.name == "shrinks";
			after = after || record.name == "zafter";
			if (inShrunk) {
				EXPECT_EQ(record.size, int64(kSize));
			}
		} else if (record.kind == ArchiveRecordKind::DataBlock && inShrunk) {
			stored += record.data;
		}
	}
	ASSERT_EQ(stored.size(), kSize);
	// What was read before the file shrank is kept, the rest is zeros.
	EXPECT_EQ(stored.find_first_not_of('S'), stored.find('\0'));
	EXPECT_EQ(stored.find_first_not_of('\0', stored.find('\0')), std::string::npos);
	EXPECT_TRUE(after) << "the entry after the shrunk file was not saved";

	// The catalogue marks that file, and only it, incomplete.
	BMessage catalogue;
	ASSERT_EQ(CatalogueFile::Read(CataloguePath(finished->GetString("backup_id", "")).c_str(),
		&catalogue), B_OK);
	std::unordered_set<int32> incomplete = Catalogue::IncompleteEntries(catalogue);
	ASSERT_EQ(incomplete.size(), 1u);
	int32 number = *incomplete.begin();
	for (int32 i = 0; const char* name = catalogue.GetString(kLogNameKey, i, nullptr); i++) {
		if (catalogue.GetInt32(kLogEntryNumberKey, i, -1) == number) {
			EXPECT_STREQ(name, "/HD/src/shrinks");
		}
	}
}

// An entry that became a fifo after the scan is neither read (it would
// block) nor written: it is reported with text 326 and skipped, and the
// backup goes on.
TEST_F(BackupEngineTest, EntryThatBecameAFifoIsSkipped)
{
	fFolder.WriteFile("hd/src/keep", "keep");
	std::string link = fFolder / "hd/src/link";
	ASSERT_EQ(symlink("keep", link.c_str()), 0);
	// Paused from the start, the job scans and then waits before its first
	// record; the link is replaced by a fifo then.
	BMessenger worker = StartJob(MakeJob({"INCLUDE /HD/src/*"}), true);
	ASSERT_TRUE(fSubscriber->Inbox().Await(kMsgJobProgress, kPatience,
		[](const BMessage& line) { return IsLine(line, 48); }));
	ASSERT_EQ(unlink(link.c_str()), 0);
	ASSERT_EQ(mkfifo(link.c_str(), 0644), 0);
	ASSERT_EQ(worker.SendMessage(kMsgJobContinue), B_OK);
	std::optional<BMessage> finished = Finish();
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), kJobEndedWithErrors);
	EXPECT_EQ(ErrorTexts(), std::vector<int32>{326});
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupEndedWithErrors), 1);
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupSuccessful), 0);
}

// A destination that breaks in the middle of the backup aborts the job with
// the text of the record that could not be written; the job ends aborted
// and no catalogue is made for the broken backup.
TEST_P(BackupWithCompressorTest, WriteErrorInTheMiddleAbortsTheBackup)
{
	std::string addOns = fFolder / "loader/add-ons";
	std::filesystem::create_directories(addOns + "/destination");
	ASSERT_EQ(symlink(MORVANE_BACKUP_TEST_ADDONS "/add-ons/destination/FailingImage",
		(addOns + "/destination/FailingImage").c_str()), 0);
	ASSERT_EQ(symlink((std::string(MORVANE_DIST_DIR) + "/Backup_Server/add-ons/compressors").c_str(),
		(addOns + "/compressors").c_str()), 0);
	fLoader = std::make_unique<AddOnLoader>(fFolder / "loader");
	fFolder.WriteFile("hd/src/big", Noise(2 * 1024 * 1024));
	BMessage job = Job({"INCLUDE /HD/src/big"});
	job.ReplaceString("addon", "FailingImage");

	std::optional<BMessage> finished = RunJob(job);
	ASSERT_TRUE(finished);
	EXPECT_EQ(finished->GetInt32("status", -1), kJobEndedAborted);
	EXPECT_EQ(ErrorTexts(), std::vector<int32>{20});
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupAborted), 1);
	EXPECT_EQ(CountLines(kLineStatistics, kTextBackupSuccessful), 0);
	EXPECT_FALSE(ReadWholeFile(CatalogueNative(finished->GetString("backup_id", ""))));
}
