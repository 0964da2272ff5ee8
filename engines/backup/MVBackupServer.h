#pragma once

// MVBackupServer: the worker of one backup job (job types 1 full,
// 2 incremental, 3 differential). It loads the job's destination and
// compressor add-ons, builds the list of entries from the selection, writes
// the backup stream (ArchiveFormat.h) to the destination as a chain of step
// messages to itself, writes the catalogue file to "<server folder>/logdata"
// and ends with 'MVJf' to the server and the subscribers, then quits.
//
// The worker base takes the control messages between any two steps: pause,
// continue (the pending step runs), abort, new subscribers and the user's
// answer to a media-change question.
//
// Ownership and threads: the server (or a test) creates the worker, runs it
// and sends it 'MVAB' and 'MVJS'; the worker deletes itself when it quits.
// Everything but the constructor and SetServer() runs on the worker's own
// thread. The worker owns its add-on objects, which it deletes before it
// unloads their images at the end of the job.

#include <memory>
#include <string>
#include <vector>

#include <app/Messenger.h>
#include <storage/Directory.h>
#include <storage/File.h>

#include "ArchiveWriter.h"
#include "BackupHeader.h"
#include "Catalogue.h"
#include "BackupOutput.h"
#include "BlockPacker.h"
#include "DestinationSpace.h"
#include "FileHeader.h"
#include "JobReportLine.h"
#include "MVBackupList.h"
#include "JobType.h"
#include "MVToolServer.h"
#include "ProgressThrottle.h"

class MVCruncher;
class MVVolume;

class MVBackupServer : public MVToolServer {
public:
	// The steps, each a message the worker posts to itself.
	enum : uint32 {
		kStepWriteBackupHeader = 'BWBH',
		kStepBuildHeader = 'BCHE',
		kStepWriteHeader = 'BWHE',
		kStepFinishHeader = 'BFHE',
		kStepReadData = 'BCDA',
		kStepWriteData = 'BWDA',
		kStepDataDone = 'BFDA',
		kStepBuildLink = 'BCSY',
		kStepWriteLink = 'BWSY',
		kStepLinkDone = 'BFSY',
		kStepCatalogue = 'BCLO',
		kStepWriteCatalogue = 'BWLO',
		kStepEnd = 'BSTA',
	};

	// serverFolder: the server program's folder in the system's
	// "/<volume>/..." form, which holds "logdata". The loader finds the
	// add-ons.
	explicit MVBackupServer(std::string serverFolder, const AddOnLoader& loader = AddOnLoader());
	~MVBackupServer() override;

	// Where the worker's requests go, the synchronous ones included; the
	// application by default. Call before Run().
	void SetServer(const BMessenger& server);

	// The ID of the backup being written; empty before the start.
	const std::string& BackupID() const { return fBackupID; }

protected:
	void StartJob(const BMessage* job) override;
	void RunStep(uint32 code) override;
	void EndJob() override;
	bool RunsWhilePaused(uint32 code) const override;

private:
	struct Entry;

	// Start.
	bool _LoadAddOns(const BMessage* job);
	void _ReportSettings(int64 freeSpace);
	bool _CanWriteCatalogue();
	bool _Scan(const BMessage* job);
	void _BeginArchive(const BMessage* job);

	// Steps.
	void _WriteBackupHeader();
	void _BuildHeader();
	void _WriteHeader();
	void _FinishHeader();
	void _ReadData();
	void _WriteData();
	void _DataDone();
	void _BuildLink();
	void _WriteLink();
	void _LinkDone();
	void _PrepareCatalogue();
	void _WriteCatalogue();
	void _End();

	// Helpers.
	bool _OpenEntry(const std::string& path);
	const BDirectory* _EntryFolder(const std::string& path, std::string* leaf);
	void _SkipEntry(const std::string& path);
	void _ReportSkippedAttributes(const std::string& path,
		const std::vector<std::string>& skipped);
	bool _Fits(int64 length);
	// Packs the blocks of the entry's file ahead, on every core.
	void _StartPacking();
	void _StopPacking();
	bool _TakePackedBlock();
	// Writes the writer's pending record; false when the stream broke.
	bool _WritePending();
	// Accounts for a record of length bytes written with status.
	bool _Written(status_t status, int64 length);
	void _ChangeMedia(uint32 resumeStep);
	bool _StopDestination();
	void _AbortWith(int32 textID, const MVTextArguments& arguments = {});
	void _Log(int32 lineType, int32 textID, const MVTextArguments& arguments = {});
	void _Log(const JobReportLine& line);
	void _Progress(bool force);
	void _FreeAddOns();
	const char* _DestinationName() const;
	std::string _AddOnPath(const char* folder, const char* name) const;

	std::string fServerFolder;
	AddOnLoader fLoader;
	BMessenger fServerMessenger;

	// The step that follows the backup header of a medium.
	uint32 fResumeStep = 0;
	// A failure ends the backup with its end step.
	bool fFailed = false;
	// Error lines so far: the backup ends with errors when it has any.
	int32 fErrors = 0;
	bool fCatalogueWritten = false;
	bool fFinished = false;

	std::vector<uint8> fReadBuffer;
	BackupHeader fBackupHeader;
	std::string fBackupID;
	std::string fPassword;
	std::string fTitle;
	Catalogue fCatalogue;
	MVBackupList fList;
	FileHeader fHeader;
	// The folder of the last entries, open.
	BDirectory fFolder;
	std::string fFolderPath;
	std::unique_ptr<Entry> fEntry;

	int32 fJobType = kJobFullBackup;
	int32 fArchiveTime = 0;
	int32 fEntryNumber = 0;
	int64 fBytesSaved = 0;
	int64 fRawBytes = 0;
	int64 fPackedBytes = 0;
	int64 fTotalSize = 0;
	int32 fEntryCount = 0;
	int32 fMediumNumber = 1;
	time_t fCreationTime = 0;

	MVVolume* fDestination = nullptr;
	MVCruncher* fCruncher = nullptr;
	std::string fCompressor;
	BMessage fCompressorSettings;
	// The packer of files of more than one block, made at the first, with
	// a compressor object of its own for each thread beyond the first.
	std::unique_ptr<BlockPacker> fPacker;
	std::vector<MVCruncher*> fPackerCrunchers;
	std::vector<image_id> fPackerImages;
	std::string fDestinationAddOn;
	BMessage fDestinationSettings;
	bool fDestinationOpen = false;
	DestinationSpace fSpace;
	BackupOutput fOutput;
	ArchiveWriter fWriter{&fOutput, nullptr, nullptr};
	// Set once a write to the destination failed: the stream is broken.
	bool fOutputFailed = false;
	// The destination's removable flag, asked once: it does not change
	// during a job, and asking may look at the volume.
	bool fRemovable = false;
	ProgressThrottle fProgressThrottle;
};
