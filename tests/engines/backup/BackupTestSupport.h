#pragma once

// Running backup workers inside the test process: volumes on scratch
// folders (a boot volume "HD" with the sources and the server folder, a
// fixed "/Disk", a removable "/Media" of kMediaSize bytes and a read-only
// "/CD"), a stand-in server that answers catalogue listings and deletions,
// a recorder as the job's subscriber, and a reader for the images written.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <app/Looper.h>
#include <app/Message.h>

#include "BackupTexts.h"
#include "JobEndStatus.h"
#include "ArchiveReader.h"
#include "MemoryArchive.h"
#include "MessageInbox.h"
#include "MessageRecorder.h"
#include "MVBackupServer.h"
#include "TestFolder.h"

// Stands in for the server application: records every message, answers
// 'MVLR' with the catalogue list a test sets and 'MVxX' by removing the named
// images from the image folder.
class FakeServer : public BLooper {
public:
	FakeServer(MessageInbox* inbox, std::string imageFolder);
	void MessageReceived(BMessage* message) override;
	void SetCatalogueList(const BMessage& list);

private:
	MessageInbox* fInbox;
	std::string fImageFolder;
	BMessage fList;
};

// The worker with no delay on abort.
class TestBackupServer : public MVBackupServer {
public:
	explicit TestBackupServer(std::string serverFolder, const AddOnLoader& loader)
		:
		MVBackupServer(std::move(serverFolder), loader)
	{
		SetAbortDelay(0);
	}
};

// One record of an image as the reader gave it.
struct ImageRecord {
	ArchiveRecordKind kind;
	std::string name;
	EntryKind entryKind = EntryKind::File;
	int64 size = 0;
	uint32 level = 0;
	int64 entryNumber = 0;
	int64 offset = 0;
	uint16 medium = 0;
	uint32 blockNumber = 0;
	uint32 next = 0;
	std::string data;
	std::vector<std::pair<std::string, std::string>> attributes;
};

class BackupEngineTest : public ::testing::Test {
protected:
	static constexpr off_t kMediaSize = 400000;
	static constexpr bigtime_t kPatience = 20000000;
	static constexpr const char* kServerFolder = "/HD/server";

	void SetUp() override;
	void TearDown() override;

	// A job record for a backup of the selection lines to an image folder.
	BMessage MakeJob(const std::vector<std::string>& lines,
		const char* target = "/Disk/backups", const char* compressor = "MVNone",
		int32 jobType = 1) const;
	// Starts a worker on the job; Finish() waits for its end.
	BMessenger StartJob(const BMessage& job, bool pausedFirst = false);
	std::optional<BMessage> Finish();
	std::optional<BMessage> RunJob(const BMessage& job);

	// Report lines ('MVJF' other than progress) of a type and text id.
	int32 CountLines(int32 lineType, int32 textID) const;
	bool HasText(int32 textID) const;
	std::vector<int32> ErrorTexts() const;

	// Every record of an image file (a native path); cruncher may be null.
	std::vector<ImageRecord> ReadImage(const std::string& path, MVCruncher* cruncher = nullptr,
		const char* password = nullptr) const;
	std::string NativeImage(const char* folder, const std::string& id) const;
	std::string CatalogueNative(const std::string& id) const;
	// The same catalogue file as a system path.
	static std::string CataloguePath(const std::string& id);

	TestFolder fFolder;
	std::optional<ScopedEnv> fVolumes;
	MessageInbox fServerInbox;
	FakeServer* fServer = nullptr;
	std::unique_ptr<MessageRecorder> fSubscriber;
	std::unique_ptr<AddOnLoader> fLoader;
};
