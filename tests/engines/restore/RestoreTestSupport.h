#pragma once

// Test support of the restore engine: backups written by hand (archive,
// catalogue file, image file) from a tree of the test folder, and a worker
// run in-process against a fake registry that also plays the server.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <app/Looper.h>
#include <app/Message.h>
#include <app/Messenger.h>

#include "FakeCatalogueRegistry.h"
#include "AddOnLoader.h"
#include "MessageInbox.h"
#include "TestFolder.h"

class MVReadServer;

// The installed tree's server folder, where workers load add-ons from.
std::string DistServerFolder();

// The server folder of the workers the bed runs, in system form.
constexpr const char* kServerFolder = "/sys/server";

class RestoreTestBed {
public:
	// Bytes on one medium of the removable volume "media".
	static constexpr off_t kMediumSize = 400000;

	// Volumes "sys" (boot, the test folder's "sys"), "dest" (the images)
	// and "media", removable, of mediumSize bytes.
	explicit RestoreTestBed(off_t mediumSize = kMediumSize);
	~RestoreTestBed();

	std::string Native(const std::string& systemPath) const;
	// A backup of the entries below the system folder source (the folder
	// itself included), written as image and catalogue; its id. Damage, when
	// given, may change the archive bytes and catalogue before they are
	// stored.
	using Damage = std::function<void(std::vector<uint8>* archive, BMessage* catalogue)>;
	std::string WriteBackup(const std::string& id, const std::string& source,
		const Damage& damage = nullptr);
	// Runs a restore job and returns its 'MVJf'; the report lines and
	// progress land in Lines().
	BMessage RunRestore(const BMessage& selection, int32 overwrite);
	// The same in two halves, for tests that control the running job. The
	// early messages reach the worker before its start message; the start
	// message goes twice when asked to.
	BMessenger StartRestore(const BMessage& selection, int32 overwrite,
		const std::vector<BMessage>& early = {}, bool startTwice = false);
	// Registers a catalogue with the bed's registry.
	void AddCatalogue(const std::string& id, const BMessage& catalogue);
	// Runs a reading worker against the bed's server and registry with
	// this handler subscribed; the early messages reach the worker first.
	BMessenger StartWorker(MVReadServer* worker, const std::vector<BMessage>& early = {});
	// A media question's answer: the test puts the medium in, given the
	// question; the bed then answers Continue and passes the server's
	// continue on to the worker.
	using MediaAnswer = std::function<void(const BMessage& question)>;
	BMessage FinishJob(const BMessenger& worker, const MediaAnswer& answer = nullptr);

	// Backs up the selection lines with the real backup worker to the
	// image folder destination ("/dest/backups" or "/media/backups") and
	// registers its catalogue; the backup id, empty on failure.
	std::string RunBackup(const std::vector<std::string>& lines, const char* compressor,
		const char* destination = "/dest/backups", const MediaAnswer& answer = nullptr);
	MessageInbox& Inbox() { return fInbox; }
	const std::vector<BMessage>& Lines() const { return fLines; }
	int32 CountLines(int32 textID) const;

	TestFolder& Folder() { return fFolder; }

private:
	TestFolder fFolder;
	std::unique_ptr<ScopedEnv> fVolumes;
	FakeCatalogueRegistry fRegistry;
	BLooper* fLooper = nullptr;
	MessageInbox fInbox;
	std::vector<BMessage> fLines;
};

// One line per entry below a native folder: relative path, kind, size,
// permissions, modification time, link text or content, attributes.
std::vector<std::string> DescribeTree(const std::string& native);
