#include "MVBackupServer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <mutex>
#include <random>
#include <thread>

#include <app/Application.h>
#include <interface/Alert.h>
#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/SymLink.h>
#include <storage/VolumeTable.h>

#include "BackupDeleter.h"
#include "BackupSettingsReport.h"
#include "BackupStatistics.h"
#include "BackupTexts.h"
#include "CatalogueFile.h"
#include "MVCruncher.h"
#include "MVVolume.h"
#include "ServerProtocol.h"
#include "JobTitle.h"

namespace {


constexpr const char* kDefaultCompressor = "MVNone";
constexpr const char* kDestinationFolder = "add-ons/destination";
constexpr const char* kCompressorFolder = "add-ons/compressors";
constexpr uint32 kPasswordSize = kBackupHeaderPasswordSize;
constexpr int32 kRandomLimit = 99999999;

std::string MakeNewBackupId(time_t now)
{
	struct tm local = {};
	localtime_r(&now, &local);
	// The device alone may repeat itself on some systems; two backups of
	// one day must never share a name, so the clock and the process go in
	// too, and the generator lives on for later backups of this process.
	static std::mt19937 generator = [] {
		std::random_device device;
		std::seed_seq seed{device(), uint32(system_time()), uint32(system_time() >> 32),
			uint32(getpid())};
		return std::mt19937(seed);
	}();
	static std::mutex lock;
	std::lock_guard<std::mutex> guard(lock);
	std::uniform_int_distribution<int32> random(0, kRandomLimit);
	return MakeBackupId(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
		random(generator));
}

}	// namespace

// The entry being written: what its file header said and where the step
// chain stands in its data.
struct MVBackupServer::Entry {
	std::string path;
	std::string reportPath;
	EntryKind kind = EntryKind::File;
	int64 size = 0;
	int64 listSize = 0;
	int32 level = 0;
	int32 modificationTime = 0;
	int64 headerOffset = 0;
	BFile file;
	std::string linkTarget;
	int64 done = 0;
	uint32 blockNumber = 0;
	bool readFailed = false;
	// The entry's number in the catalogue.
	int32 entryNumber = 0;

	int64 CatalogueSize() const { return kind == EntryKind::File ? size : listSize; }
};

MVBackupServer::MVBackupServer(std::string serverFolder, const AddOnLoader& loader)
	:
	MVToolServer("MVBackupServer", 10, 100, loader),
	fServerFolder(std::move(serverFolder)),
	fLoader(loader),
	fEntry(std::make_unique<Entry>())
{
}

MVBackupServer::~MVBackupServer()
{
	_FreeAddOns();
}

void MVBackupServer::SetServer(const BMessenger& server)
{
	MVToolServer::SetServer(server);
	fServerMessenger = server;
}

void MVBackupServer::EndJob()
{
	_End();
}

bool MVBackupServer::RunsWhilePaused(uint32 step) const
{
	// The end step only reports and releases.
	return step == kStepEnd;
}

// #pragma mark - start

void MVBackupServer::StartJob(const BMessage* job)
{
	fJobType = job->GetInt32("job_type", kJobFullBackup);
	fArchiveTime = 0;
	if (BacksUpChangesOnly(fJobType))
		(void)job->FindTime("archive_time", &fArchiveTime);
	fCreationTime = time(nullptr);
	fBackupID = MakeNewBackupId(fCreationTime);

	BMessage startInfo;
	(void)job->FindMessage("start_info", &startInfo);
	fTitle = startInfo.GetString("title", "");
	fPassword = startInfo.GetString("password", "");
	if (fPassword.size() > kPasswordSize)
		fPassword.resize(kPasswordSize);
	fWriter.SetPassword(fPassword.c_str());
	_Log(kLineInfo, kTextStartingBackup, {fTitle});

	if (_LoadAddOns(job)) {
		int64 freeSpace = fSpace.Query();
		_ReportSettings(freeSpace);
		fReadBuffer.assign(kDataBlockSize, 0);
		if (fDestination->Name() == nullptr || fDestination->Name()[0] == '\0')
			_AbortWith(kTextNoDestination);
		else if (fDestination->IsReadOnly())
			_AbortWith(kTextReadOnly);
		else if (_CanWriteCatalogue() && _Scan(job)) {
			_BeginArchive(job);
			if (freeSpace >= fTotalSize || fDestination->IsRemovable()) {
				_Log(kLineInfo, kTextBackupData);
				fList.FindFirst();
				fResumeStep = kStepBuildHeader;
				NextStep(kStepWriteBackupHeader);
			} else {
				_Log(kLineError, kTextNoSpace, {_DestinationName()});
				_Log(kLineError, kTextSpaceNeeded, {fTotalSize, freeSpace});
				fFailed = true;
				NextStep(kStepEnd);
			}
		}
	}
}

// The catalogue file is written last; a folder that cannot take it, or its
// attributes, is found out before any data goes out, by a file made there
// with the title attribute and removed.
bool MVBackupServer::_CanWriteCatalogue()
{
	std::string path = CatalogueFile::PathFor(fServerFolder, fBackupID);
	if (fServerFolder.empty()) {
		_AbortWith(kTextCataloguePath, {path});
		return false;
	}
	std::string folder = fServerFolder + "/" + kCatalogueFolder;
	(void)create_directory(folder.c_str(), 0755);
	std::string probe = folder + "/." + fBackupID + ".probe";
	BFile file(probe.c_str(), B_WRITE_ONLY | B_CREATE_FILE | B_FAIL_IF_EXISTS);
	bool usable = file.InitCheck() == B_OK
		&& file.WriteAttrString(kCatalogueTitleAttribute, CappedTitle(fTitle)) == B_OK;
	if (file.InitCheck() == B_OK) {
		file.Unset();
		(void)BEntry(probe.c_str()).Remove();
	}
	if (!usable)
		_AbortWith(kTextCatalogueCreate, {path});
	return usable;
}

bool MVBackupServer::_LoadAddOns(const BMessage* job)
{
	const char* addOn = job->GetString("addon", "");
	(void)job->FindMessage("volume", &fDestinationSettings);
	fDestinationAddOn = addOn;
	fDestination = LoadDestinationAddOn(addOn, &fDestinationSettings);
	if (fDestination == nullptr) {
		_AbortWith(AddOnFailureText(), {_AddOnPath(kDestinationFolder, addOn)});
		return false;
	}
	fSpace.SetVolume(fDestination);
	fOutput.SetVolume(fDestination);
	fRemovable = fDestination->IsRemovable();
	if (BacksUpChangesOnly(fJobType))
		fDestination->SetOverwrite(false);

	const char* compressor = job->GetString("bak_addonpacker", "");
	if (compressor[0] == '\0')
		compressor = kDefaultCompressor;
	fCompressor = compressor;
	(void)job->FindMessage("bak_packer", &fCompressorSettings);
	fCruncher = LoadCruncherAddOn(compressor, &fCompressorSettings);
	fWriter.SetCruncher(fCruncher);
	if (fCruncher == nullptr) {
		_AbortWith(AddOnFailureText(), {_AddOnPath(kCompressorFolder, compressor)});
		return false;
	}
	return true;
}

void MVBackupServer::_ReportSettings(int64 freeSpace)
{
	BackupSettingsReport report;
	report.destinationName = _DestinationName();
	report.capacity = fDestination->GetCapacity();
	report.freeSpace = freeSpace;
	report.removable = fDestination->IsRemovable();
	report.overwrite = fDestination->IsOverwrite();
	report.mode = fJobType;
	report.startTime = fCreationTime;
	for (const JobReportLine& line : report.Lines())
		_Log(line);
}

bool MVBackupServer::_Scan(const BMessage* job)
{
	_Log(kLineInfo, kTextScanning);
	BMessage selection;
	(void)job->FindMessage("selection", &selection);
	fList.SetTo(&selection);
	if (BacksUpChangesOnly(fJobType))
		fList.SetFilter(fArchiveTime);
	if (fList.IsEmpty()) {
		_AbortWith(kTextNothingSelected);
		return false;
	}
	fEntryCount = fList.CountItems();
	fTotalSize = 0;
	for (const entry_ref* ref = fList.FindFirst(); ref != nullptr; ref = fList.FindNext())
		fTotalSize += fList.GetSize();
	return true;
}

void MVBackupServer::_BeginArchive(const BMessage* job)
{
	const char* compressor = job->GetString("bak_addonpacker", "");
	int32 baseID = job->GetInt32("base_id", 0);
	int16 removable = fDestination->IsRemovable() ? 1 : 0;

	fBackupHeader = BackupHeader();
	fBackupHeader.backupId = fBackupID;
	fBackupHeader.title = fTitle;
	fBackupHeader.creationTime = int32(fCreationTime);
	fBackupHeader.destinationType = fDestination->GetType();
	fBackupHeader.compressor = compressor;
	fBackupHeader.password = fPassword;
	fBackupHeader.removable = removable;
	fBackupHeader.totalSize = fTotalSize;
	fBackupHeader.entryCount = fEntryCount;
	fBackupHeader.jobId = JobID();
	fBackupHeader.mode = fJobType;
	fBackupHeader.baseId = baseID;

	CatalogueInfo info;
	info.backupId = fBackupID;
	info.title = fTitle;
	info.date = int32(fCreationTime);
	info.compressor = compressor;
	(void)job->FindMessage("bak_packer", &info.cruncherSettings);
	info.password = fPassword;
	info.destination = fDestinationAddOn;
	info.destinationSettings = fDestinationSettings;
	(void)job->FindMessage("selection", &info.selection);
	info.removable = removable;
	info.jobId = JobID();
	info.mode = fJobType;
	info.baseId = baseID;
	if (fCatalogue.Begin(info) != B_OK)
		_AbortWith(kTextNoMemory);
}

// #pragma mark - the steps

void MVBackupServer::RunStep(uint32 code)
{
	switch (code) {
		case kStepWriteBackupHeader:
			_WriteBackupHeader();
			break;
		case kStepBuildHeader:
			_BuildHeader();
			break;
		case kStepWriteHeader:
			_WriteHeader();
			break;
		case kStepFinishHeader:
			_FinishHeader();
			break;
		case kStepReadData:
			_ReadData();
			break;
		case kStepWriteData:
			_WriteData();
			break;
		case kStepDataDone:
			_DataDone();
			break;
		case kStepBuildLink:
			_BuildLink();
			break;
		case kStepWriteLink:
			_WriteLink();
			break;
		case kStepLinkDone:
			_LinkDone();
			break;
		case kStepCatalogue:
			_PrepareCatalogue();
			break;
		case kStepWriteCatalogue:
			_WriteCatalogue();
			break;
		case kStepEnd:
			_End();
			break;
	}
}

// #pragma mark - step functions

void MVBackupServer::_WriteBackupHeader()
{
	if (fDestination->IsOverwrite()) {
		BMessenger server = fServerMessenger.IsValid() ? fServerMessenger : be_app_messenger;
		BackupDeleter deleter(server, fLoader,
			[this](const JobReportLine& line) { _Log(line); });
		(void)deleter.DeleteExisting(fDestination, fBackupID, fDestinationAddOn.c_str(),
			fDestinationSettings);
	}
	int32 result = fDestination->Start(fBackupID.c_str(), kVolumeModeWrite);
	if (result < 0 || result > 1) {
		_AbortWith(kTextNoAccess, {_DestinationName()});
		return;
	}
	fDestinationOpen = true;
	// A medium with a name (a tape's media ID) is asked for by it later.
	const char* medium = fDestination->MediumName();
	if (medium != nullptr && fCatalogue.SetMediumName(fMediumNumber, medium) != B_OK) {
		_AbortWith(kTextNoMemory);
		return;
	}
	fWriter.StartMedium();
	(void)fSpace.Query();
	if (!_Fits(kBackupHeaderSize + kDataBlockSize)) {
		_ChangeMedia(kStepWriteBackupHeader);
		return;
	}
	fBackupHeader.mediumNumber = uint16(fMediumNumber);
	if (!_Written(fWriter.WriteBackupHeader(fBackupHeader), kBackupHeaderSize)) {
		_AbortWith(kTextCannotWrite);
		return;
	}
	_Log(kLineInfo, kTextMedium, {fMediumNumber});
	uint32 resume = fResumeStep;
	fResumeStep = 0;
	NextStep(resume);
}

void MVBackupServer::_BuildHeader()
{
	const entry_ref* ref = fList.FindCurrent();
	if (ref == nullptr) {
		NextStep(kStepCatalogue);
		return;
	}
	std::string path = ref->path;
	if (!_OpenEntry(path)) {
		_SkipEntry(path);
		return;
	}
	(void)fWriter.PrepareFileHeader(fHeader);
	NextStep(kStepWriteHeader);
}

void MVBackupServer::_WriteHeader()
{
	if (!_Fits(fWriter.PendingLength())) {
		_ChangeMedia(kStepWriteHeader);
		return;
	}
	fEntry->headerOffset = fWriter.Position();
	if (!_WritePending()) {
		_AbortWith(kTextHeaderWrite, {_DestinationName(), fEntry->reportPath});
		return;
	}
	NextStep(kStepFinishHeader);
}

void MVBackupServer::_FinishHeader()
{
	Entry& entry = *fEntry;
	uint32 next = kStepBuildHeader;
	switch (entry.kind) {
		case EntryKind::File:
			if (entry.size > 0) {
				entry.done = 0;
				entry.blockNumber = 0;
				// The pass-through compressor only copies: handing its
				// blocks between threads would cost more than it saves.
				if (entry.size > kDataBlockMaxRaw && fCompressor != kDefaultCompressor)
					_StartPacking();
				next = kStepReadData;
			} else {
				_Log(kLineFile, kTextSingle, {entry.reportPath});
				entry.file.Unset();
			}
			break;
		case EntryKind::SymLink:
			next = kStepBuildLink;
			break;
		case EntryKind::Directory:
			_Log(kLineDirectory, kTextSingle, {entry.reportPath});
			break;
		case EntryKind::VolumeRoot:
			_Log(kLineVolumeRoot, kTextSingle, {entry.reportPath});
			break;
	}

	CatalogueEntry record;
	record.path = entry.reportPath;
	record.kind = entry.kind;
	record.size = entry.CatalogueSize();
	record.level = entry.level;
	record.mediumNumber = fMediumNumber;
	record.offset = entry.headerOffset;
	record.modificationTime = entry.modificationTime;
	record.entryNumber = fEntryNumber;
	entry.entryNumber = fEntryNumber;
	if (fCatalogue.AddEntry(record) != B_OK) {
		_AbortWith(kTextNoMemory);
		return;
	}
	fEntryNumber++;
	fBytesSaved += record.size;
	fList.FindNext();
	NextStep(next);
}

void MVBackupServer::_ReadData()
{
	Entry& entry = *fEntry;
	if (fPacker != nullptr && fPacker->IsPacking() && !entry.readFailed) {
		if (_TakePackedBlock())
			NextStep(kStepWriteData);
		return;
	}
	uint32 want = uint32(std::min<int64>(entry.size - entry.done, kDataBlockMaxRaw));
	uint8* raw = fReadBuffer.data();
	ssize_t got = entry.readFailed ? 0 : fEntry->file.ReadFully(raw, want);
	if (got < ssize_t(want)) {
		// The file shrank or cannot be read any more. Its header promised
		// its size, so the rest is stored as zeros and the stream stays
		// readable; the report names the file, and the catalogue marks it
		// so that restore and compare do not take the zeros for its data.
		if (!entry.readFailed) {
			_Log(kLineError, kTextCannotRead, {entry.reportPath});
			if (fCatalogue.MarkIncomplete(entry.entryNumber) != B_OK) {
				_AbortWith(kTextNoMemory);
				return;
			}
		}
		entry.readFailed = true;
		size_t kept = got > 0 ? size_t(got) : 0;
		memset(raw + kept, 0, want - kept);
	}
	entry.done += want;
	if (fWriter.PrepareDataBlock(raw, want, ++entry.blockNumber, entry.done >= entry.size)
			!= B_OK) {
		_AbortWith(kTextDataWrite, {_DestinationName(), entry.reportPath});
		return;
	}
	fRawBytes += want;
	fPackedBytes += fWriter.LastPayloadLength();
	_Progress(false);
	NextStep(kStepWriteData);
}

void MVBackupServer::_StartPacking()
{
	if (fPacker == nullptr) {
		std::vector<MVCruncher*> crunchers = {fCruncher};
		size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
		while (fPackerCrunchers.size() + 1 < threads) {
			image_id image = 0;
			MVCruncher* cruncher = fLoader.LoadCruncher(fCompressor.c_str(),
				&fCompressorSettings, &image);
			if (cruncher == nullptr)
				break;
			fPackerCrunchers.push_back(cruncher);
			fPackerImages.push_back(image);
			crunchers.push_back(cruncher);
		}
		fPacker = std::make_unique<BlockPacker>(crunchers, fPassword.c_str());
	}
	fPacker->Start(&fEntry->file, fEntry->size);
}

void MVBackupServer::_StopPacking()
{
	if (fPacker != nullptr)
		fPacker->Stop();
}

// The next block of the packer; false when the job ended.
bool MVBackupServer::_TakePackedBlock()
{
	Entry& entry = *fEntry;
	BlockPacker::Block block;
	if (!fPacker->Next(&block) || block.recordLength == 0) {
		_AbortWith(kTextDataWrite, {_DestinationName(), entry.reportPath});
		return false;
	}
	if (block.read < block.length) {
		// As when reading here: the rest of the file is stored as zeros,
		// which are packed here from now on.
		_Log(kLineError, kTextCannotRead, {entry.reportPath});
		if (fCatalogue.MarkIncomplete(entry.entryNumber) != B_OK) {
			_AbortWith(kTextNoMemory);
			return false;
		}
		entry.readFailed = true;
		_StopPacking();
	}
	entry.done += block.length;
	entry.blockNumber++;
	fWriter.PreparePackedBlock(block.record, block.recordLength, block.packed);
	fRawBytes += block.length;
	fPackedBytes += block.packed;
	_Progress(false);
	return true;
}

void MVBackupServer::_WriteData()
{
	if (!_Fits(fWriter.PendingLength())) {
		_ChangeMedia(kStepWriteData);
		return;
	}
	if (!_WritePending()) {
		_AbortWith(kTextDataWrite, {_DestinationName(), fEntry->reportPath});
		return;
	}
	NextStep(kStepDataDone);
}

void MVBackupServer::_DataDone()
{
	Entry& entry = *fEntry;
	if (entry.done < entry.size) {
		NextStep(kStepReadData);
		return;
	}
	if (!entry.readFailed)
		_Log(kLineFile, kTextSingle, {entry.reportPath});
	_StopPacking();
	entry.file.Unset();
	NextStep(kStepBuildHeader);
}

void MVBackupServer::_BuildLink()
{
	if (fWriter.PrepareSymLink(fEntry->linkTarget.c_str()) != B_OK) {
		_AbortWith(kTextLinkWrite, {_DestinationName(), fEntry->reportPath});
		return;
	}
	NextStep(kStepWriteLink);
}

void MVBackupServer::_WriteLink()
{
	if (!_Fits(fWriter.PendingLength())) {
		_ChangeMedia(kStepWriteLink);
		return;
	}
	if (!_WritePending()) {
		_AbortWith(kTextLinkWrite, {_DestinationName(), fEntry->reportPath});
		return;
	}
	_Log(kLineSymLink, kTextSingle, {fEntry->reportPath});
	NextStep(kStepLinkDone);
}

void MVBackupServer::_LinkDone()
{
	NextStep(kStepBuildHeader);
}

void MVBackupServer::_PrepareCatalogue()
{
	if (fCatalogue.SetSize(fBytesSaved) != B_OK) {
		_AbortWith(kTextCatalogueMemory);
		return;
	}
	if (fWriter.PrepareCatalogue(fCatalogue.Message()) != B_OK) {
		_AbortWith(kTextCatalogueMemory);
		return;
	}
	NextStep(kStepWriteCatalogue);
}

void MVBackupServer::_WriteCatalogue()
{
	if (!_Fits(fWriter.PendingLength())) {
		_ChangeMedia(kStepWriteCatalogue);
		return;
	}
	if (!_WritePending()) {
		_AbortWith(kTextCatalogueWrite, {_DestinationName()});
		return;
	}
	// The backup is complete only once the destination has it; then the
	// catalogue file makes it known. A failure before leaves no catalogue
	// of a backup that cannot be read.
	if (!_StopDestination()) {
		_AbortWith(kTextCatalogueWrite, {_DestinationName()});
		return;
	}
	std::string folder = fServerFolder + "/" + kCatalogueFolder;
	(void)create_directory(folder.c_str(), 0755);
	std::string path = CatalogueFile::PathFor(fServerFolder, fBackupID);
	if (CatalogueFile::Write(path.c_str(), fCatalogue.Message()) != B_OK) {
		_AbortWith(kTextCatalogueCreate, {path});
		return;
	}
	fCatalogueWritten = true;
	NextStep(kStepEnd);
}

void MVBackupServer::_End()
{
	if (fFinished)
		return;
	fFinished = true;
	_Progress(true);
	// A backup whose catalogue file is written is complete: an abort that
	// comes after it changes nothing of it.
	bool aborted = !fCatalogueWritten && (fFailed || IsAborted());
	// Whatever the destination still holds open must reach the medium; if
	// it cannot, the backup did not succeed.
	if (!_StopDestination() && !aborted) {
		_Log(kLineError, kTextCannotWrite);
		aborted = true;
	}

	BackupStatistics statistics;
	statistics.filesSaved = fEntryNumber;
	statistics.bytesSaved = fBytesSaved;
	statistics.rawBytes = fRawBytes;
	statistics.packedBytes = fPackedBytes;
	statistics.elapsedSeconds = int32(CurrentTime() - GetStartTime());
	statistics.pausedSeconds = GetPause();
	statistics.aborted = aborted;
	statistics.errors = fErrors;
	for (const JobReportLine& line : statistics.Lines())
		_Log(line);

	fCatalogue.Message().MakeEmpty();
	fWriter.ReleaseBuffers();
	fEntry->file.Unset();
	_FreeAddOns();
	std::vector<uint8>().swap(fReadBuffer);

	BMessage finished = EndMessage();
	finished.AddString("title", fTitle.c_str());
	finished.AddInt64("size", fBytesSaved);
	finished.AddTime("date", int32(fCreationTime));
	finished.AddString("backup_id", fBackupID.c_str());
	finished.AddInt32("status", statistics.EndStatus());
	FinishJob(&finished);
}

// #pragma mark - helpers

bool MVBackupServer::_OpenEntry(const std::string& path)
{
	Entry& entry = *fEntry;
	_StopPacking();
	entry.file.Unset();
	entry.path = path;
	entry.reportPath = Catalogue::CataloguePath(path);
	entry.level = fList.OutlineLevel();
	entry.listSize = fList.GetSize();
	entry.linkTarget.clear();
	entry.readFailed = false;

	// One look at the entry through its folder, which stays open for its
	// neighbours, and a file is opened once: its attributes are read
	// through the open file.
	std::string leaf;
	const BDirectory* folder = _EntryFolder(path, &leaf);
	struct stat status;
	status_t found = folder != nullptr ? folder->GetStatAt(leaf.c_str(), &status)
		: BEntry(path.c_str()).GetStat(&status);
	if (found != B_OK)
		return false;
	if (S_ISLNK(status.st_mode)) {
		if (entry.level == 0)
			return false;
		// A target the archive cannot hold whole is not cut: the link is
		// skipped with an error line.
		BSymLink link(path.c_str());
		if (link.ReadLink(&entry.linkTarget) != B_OK
			|| entry.linkTarget.size() > kSymLinkMaxTarget) {
			return false;
		}
	} else if (!S_ISDIR(status.st_mode)) {
		// Only regular files have data to read; a pipe or a device would
		// block or never end.
		if (!S_ISREG(status.st_mode))
			return false;
		status_t opened = folder != nullptr
			? folder->OpenFileAt(leaf.c_str(), B_READ_ONLY, &entry.file)
			: entry.file.SetTo(path.c_str(), B_READ_ONLY);
		if (opened != B_OK)
			return false;
	}
	std::vector<std::string> skipped;
	fHeader.BuildFromStat(path.c_str(), leaf.c_str(), status,
		S_ISREG(status.st_mode) ? &entry.file : nullptr, uint32(entry.level), fEntryNumber,
		&skipped);
	entry.kind = fHeader.Kind();
	entry.size = status.st_size;
	entry.modificationTime = int32(status.st_mtime);
	_ReportSkippedAttributes(entry.reportPath, skipped);
	return true;
}

// The folder of the entry at path, opened once for all entries in it, and
// the entry's name; null for a volume's root, which lies in no folder, and
// when the folder cannot be opened.
const BDirectory* MVBackupServer::_EntryFolder(const std::string& path, std::string* leaf)
{
	size_t slash = path.rfind('/');
	*leaf = slash == std::string::npos ? path : path.substr(slash + 1);
	if (slash == std::string::npos || slash == 0 || slash + 1 == path.size())
		return nullptr;
	std::string parent = path.substr(0, slash);
	if (parent != fFolderPath || fFolder.InitCheck() != B_OK) {
		fFolderPath = parent;
		if (fFolder.SetTo(parent.c_str()) != B_OK)
			return nullptr;
	}
	return &fFolder;
}

void MVBackupServer::_SkipEntry(const std::string& path)
{
	fEntryCount--;
	fTotalSize -= fList.GetSize();
	_Log(kLineError, kTextCannotRead, {Catalogue::CataloguePath(path)});
	fList.FindNext();
	_Progress(false);
	NextStep(kStepBuildHeader);
}

void MVBackupServer::_ReportSkippedAttributes(const std::string& path,
	const std::vector<std::string>& skipped)
{
	for (const std::string& name : skipped) {
		// "*" stands for an entry whose attributes could not be listed.
		std::string what = name == "*" ? path : path + " (" + name + ")";
		_Log(kLineError, kTextAttributes, {what});
	}
}

bool MVBackupServer::_Fits(int64 length)
{
	// A removable medium keeps room for the end-of-medium record, so that
	// a full medium can always be closed properly.
	if (fRemovable)
		length += kEndOfMediumSize;
	// The destination counts only what it was given: what is pending must
	// be on it before it is asked. A failed write shows at the next _Write.
	if (fSpace.WouldAsk(length) && !fOutput.Flush())
		fOutputFailed = true;
	return fSpace.Fits(length);
}

bool MVBackupServer::_WritePending()
{
	// A broken stream takes no more records.
	if (fOutputFailed)
		return false;
	uint32 length = fWriter.PendingLength();
	return _Written(fWriter.WritePending(), length);
}

bool MVBackupServer::_Written(status_t status, int64 length)
{
	if (fOutputFailed || status != B_OK) {
		fOutputFailed = true;
		return false;
	}
	fSpace.Consumed(length);
	return true;
}

void MVBackupServer::_ChangeMedia(uint32 resumeStep)
{
	if (!fRemovable) {
		_AbortWith(kTextDestinationFull, {_DestinationName()});
		return;
	}
	if (resumeStep != kStepWriteBackupHeader)
		fResumeStep = resumeStep;
	if (fWriter.Position() > 0 && !_Written(fWriter.WriteEndOfMedium(), kEndOfMediumSize)) {
		_AbortWith(kTextCannotWrite);
		return;
	}
	fWriter.StartMedium();
	if (!_StopDestination()) {
		_AbortWith(kTextCannotWrite);
		return;
	}
	// The medium is out before the user is asked, so that an answer never
	// meets the old medium still in the drive.
	(void)fDestination->Eject();
	int32 fullMedium = fMediumNumber;
	fMediumNumber++;

	AskForMedium(kStepWriteBackupHeader, kTextMediaFull, {fullMedium, _DestinationName()},
		B_WARNING_ALERT);
}

bool MVBackupServer::_StopDestination()
{
	if (!fDestinationOpen)
		return true;
	fDestinationOpen = false;
	bool flushed = !fOutputFailed && fOutput.Flush();
	fOutputFailed = false;
	return fDestination->Stop() == 0 && flushed;
}

void MVBackupServer::_AbortWith(int32 textID, const MVTextArguments& arguments)
{
	_Log(kLineError, textID, arguments);
	fFailed = true;
	NextStep(kStepEnd);
}

void MVBackupServer::_Log(int32 lineType, int32 textID, const MVTextArguments& arguments)
{
	if (lineType == kLineError)
		fErrors++;
	LogInsert(lineType, textID, arguments);
}

void MVBackupServer::_Log(const JobReportLine& line)
{
	_Log(line.lineType, line.textID, line.arguments);
}

void MVBackupServer::_Progress(bool force)
{
	if (!force && !fProgressThrottle.IsDue(system_time()))
		return;
	const char* path = fEntry->reportPath.empty() ? nullptr : fEntry->reportPath.c_str();
	PostInfo(path, fEntryNumber, fEntryCount, fRawBytes, fTotalSize);
}

void MVBackupServer::_FreeAddOns()
{
	fPacker.reset();
	for (MVCruncher* cruncher : fPackerCrunchers)
		delete cruncher;
	fPackerCrunchers.clear();
	for (image_id& image : fPackerImages)
		AddOnLoader::Free(&image);
	fPackerImages.clear();
	if (fDestination != nullptr) {
		(void)_StopDestination();
		delete fDestination;
		fDestination = nullptr;
		fSpace.SetVolume(nullptr);
		fOutput.SetVolume(nullptr);
		FreeDestinationAddOn();
	}
	if (fCruncher != nullptr) {
		delete fCruncher;
		fCruncher = nullptr;
		FreeCruncherAddOn();
	}
}

const char* MVBackupServer::_DestinationName() const
{
	const char* name = fDestination != nullptr ? fDestination->Name() : nullptr;
	return name != nullptr ? name : "";
}

std::string MVBackupServer::_AddOnPath(const char* folder, const char* name) const
{
	return fServerFolder + "/" + folder + "/" + (name != nullptr ? name : "");
}
