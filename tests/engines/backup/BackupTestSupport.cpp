#include "BackupTestSupport.h"

#include <cstdio>

#include <storage/VolumeTable.h>

#include "MVVolume.h"
#include "ServerProtocol.h"

FakeServer::FakeServer(MessageInbox* inbox, std::string imageFolder)
	:
	BLooper("fake server"),
	fInbox(inbox),
	fImageFolder(std::move(imageFolder)),
	fList(kMsgLogData)
{
}

void FakeServer::SetCatalogueList(const BMessage& list)
{
	if (Lock()) {
		fList = list;
		Unlock();
	}
}

void FakeServer::MessageReceived(BMessage* message)
{
	fInbox->Add(*message);
	if (message->what == kMsgLogRead) {
		BMessage reply(fList);
		reply.what = kMsgLogData;
		(void)message->SendReply(&reply);
		return;
	}
	if (message->what == kMsgDeleteBackups) {
		const char* name;
		for (int32 i = 0; message->FindString("name", i, &name) == B_OK; i++)
			std::remove((fImageFolder + "/" + name).c_str());
		BMessage reply(kMsgBackupsDeleted);
		(void)message->SendReply(&reply);
	}
}

void BackupEngineTest::SetUp()
{
	fFolder.MakeFolder("hd/src");
	fFolder.MakeFolder("hd/server/logdata");
	fFolder.MakeFolder("disk/backups");
	fFolder.MakeFolder("media");
	fFolder.MakeFolder("cd/backups");
	fVolumes.emplace("MORVANE_VOLUMES", "HD=" + fFolder / "hd" + ";Disk=" + fFolder / "disk"
		+ ";Media=" + fFolder / "media" + ",removable,size=" + std::to_string(kMediaSize)
		+ ";CD=" + fFolder / "cd" + ",ro");
	ASSERT_EQ(VolumeTable::Reload(), B_OK);
	fServer = new FakeServer(&fServerInbox, fFolder / "disk/backups");
	fServer->Run();
	fSubscriber = std::make_unique<MessageRecorder>("subscriber");
	fLoader = std::make_unique<AddOnLoader>(std::string(MORVANE_DIST_DIR) + "/Backup_Server");
}

void BackupEngineTest::TearDown()
{
	fSubscriber.reset();
	if (fServer != nullptr && fServer->Lock())
		fServer->Quit();
	fServer = nullptr;
	fVolumes.reset();
	(void)VolumeTable::Reload();
}

BMessage BackupEngineTest::MakeJob(const std::vector<std::string>& lines, const char* target,
	const char* compressor, int32 jobType) const
{
	BMessage job(kMsgJobStart);
	job.AddInt32("job_id", 7);
	job.AddInt32("report_id", 11);
	job.AddInt32("job_type", jobType);
	BMessage startInfo;
	startInfo.AddString("title", "Test backup");
	job.AddMessage("start_info", &startInfo);
	job.AddString("addon", "MVImage");
	BMessage volume;
	if (target != nullptr)
		volume.AddString(kVolumeNameKey, target);
	volume.AddBool("createpath", true);
	job.AddMessage("volume", &volume);
	job.AddString("bak_addonpacker", compressor);
	BMessage packer;
	job.AddMessage("bak_packer", &packer);
	BMessage selection;
	for (const std::string& line : lines)
		selection.AddString("SELECTION", line.c_str());
	job.AddMessage("selection", &selection);
	return job;
}

BMessenger BackupEngineTest::StartJob(const BMessage& job, bool pausedFirst)
{
	auto* worker = new TestBackupServer(kServerFolder, *fLoader);
	worker->SetServer(BMessenger(fServer));
	worker->Run();
	BMessenger messenger(worker);
	BMessage subscribe(kMsgSubscribe);
	subscribe.AddMessenger("user", fSubscriber->Messenger());
	EXPECT_EQ(messenger.SendMessage(&subscribe), B_OK);
	if (pausedFirst) {
		EXPECT_EQ(messenger.SendMessage(kMsgJobPause), B_OK);
	}
	EXPECT_EQ(messenger.SendMessage(&job), B_OK);
	return messenger;
}

std::optional<BMessage> BackupEngineTest::Finish()
{
	return fSubscriber->Inbox().Await(kMsgJobFinished, kPatience);
}

std::optional<BMessage> BackupEngineTest::RunJob(const BMessage& job)
{
	StartJob(job);
	return Finish();
}

int32 BackupEngineTest::CountLines(int32 lineType, int32 textID) const
{
	return fSubscriber->Inbox().Count(kMsgJobProgress, [=](const BMessage& line) {
		return line.GetInt32("linetype", 0) == lineType && line.GetInt32("text_id", -1) == textID;
	});
}

bool BackupEngineTest::HasText(int32 textID) const
{
	return fSubscriber->Inbox().Count(kMsgJobProgress, [=](const BMessage& line) {
		return line.GetInt32("linetype", 0) != kLineProgress && line.GetInt32("text_id", -1) == textID;
	}) > 0;
}

std::vector<int32> BackupEngineTest::ErrorTexts() const
{
	std::vector<int32> texts;
	for (const BMessage& line : fSubscriber->Inbox().Messages()) {
		if (line.what == kMsgJobProgress && line.GetInt32("linetype", 0) == kLineError)
			texts.push_back(line.GetInt32("text_id", -1));
	}
	return texts;
}

std::string BackupEngineTest::NativeImage(const char* folder, const std::string& id) const
{
	return fFolder / (std::string(folder) + "/" + id);
}

std::string BackupEngineTest::CatalogueNative(const std::string& id) const
{
	return fFolder / ("hd/server/logdata/" + id);
}

std::string BackupEngineTest::CataloguePath(const std::string& id)
{
	return std::string(kServerFolder) + "/logdata/" + id;
}

std::vector<ImageRecord> BackupEngineTest::ReadImage(const std::string& path,
	MVCruncher* cruncher, const char* password) const
{
	std::vector<ImageRecord> records;
	std::optional<std::string> bytes = ReadWholeFile(path);
	if (!bytes)
		return records;
	MemoryArchive source(bytes->data(), bytes->size());
	ArchiveReader reader(&source, cruncher);
	if (password != nullptr)
		reader.SetPassword(password);
	ArchiveRecordKind kind;
	for (int64 offset = source.Position(); reader.NextRecord(&kind) == B_OK;
			offset = source.Position()) {
		ImageRecord record;
		record.kind = kind;
		record.offset = offset;
		if (kind == ArchiveRecordKind::BackupHeader) {
			record.medium = reader.LastBackupHeader().mediumNumber;
			record.name = reader.LastBackupHeader().backupId;
		} else if (kind == ArchiveRecordKind::FileHeader) {
			const FileHeader& header = reader.Header();
			record.name = header.Name() != nullptr ? header.Name() : "";
			record.entryKind = header.Kind();
			record.size = header.Stat().size;
			record.level = header.Level();
			record.entryNumber = header.EntryNumber();
			uint32 cursor = 0;
			FileHeaderAttribute attribute;
			while (header.NextAttribute(&cursor, &attribute) == B_OK) {
				record.attributes.emplace_back(attribute.name,
					std::string(reinterpret_cast<const char*>(attribute.data), attribute.length));
			}
		} else if (kind == ArchiveRecordKind::DataBlock) {
			const DataBlock& block = reader.Block();
			record.blockNumber = block.number;
			record.next = block.next;
			record.data.assign(reinterpret_cast<const char*>(block.data), block.length);
		}
		records.push_back(std::move(record));
	}
	return records;
}
