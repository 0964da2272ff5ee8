#include "MVInsertServer.h"

#include <interface/Alert.h>
#include <kernel/OS.h>
#include <storage/Directory.h>

#include "ArchiveReader.h"
#include "ByteCount.h"
#include "CatalogueFile.h"
#include "CatalogueRecordCheck.h"
#include "CatalogueRecordFinder.h"
#include "EntryLineType.h"
#include "InsertTexts.h"
#include "JobStatistics.h"
#include "MVVolume.h"
#include "RestoreMediumSource.h"
#include "StreamEnd.h"

namespace {

constexpr const char* kStartInfoKey = "start_info";
constexpr const char* kIdKey = "ID";
constexpr const char* kAddOnKey = "addon";
constexpr const char* kVolumeKey = "volume";

// The job's fields are kept in its "start_info"; a job that has them beside
// it is read the same.
const BMessage& HolderOf(const char* name, const BMessage& startInfo, const BMessage& job)
{
	type_code type;
	return startInfo.GetInfo(name, &type) == B_OK ? startInfo : job;
}

}	// namespace

MVInsertServer::MVInsertServer(std::string serverFolder, const AddOnLoader& loader)
	:
	MVReadServer("MVInsertServer", 10, 100, loader),
	fServerFolder(std::move(serverFolder))
{
}

MVInsertServer::~MVInsertServer()
{
	_ReleaseDestination();
}

// #pragma mark - steps

bool MVInsertServer::RunsWhilePaused(uint32 step) const
{
	// The end step only reports and releases.
	return step == kStepEnd;
}

void MVInsertServer::RunStep(uint32 step)
{
	switch (step) {
		case kStepBackupHeader:
			BackupHeaderRead();
			break;
		case kStepCheckLastMedium:
			CheckLastMedium();
			break;
		case kStepFindCatalogue:
			FindCatalogue();
			break;
		case kStepReadCatalogue:
			ReadCatalogue();
			break;
		case kStepFileHeader:
			FileHeaderRead();
			break;
		case kStepFileData:
		case kStepLinkData:
			FileDataRead(step);
			break;
		case kStepEnd:
			EndeInsert();
			break;
	}
}

// #pragma mark - start

void MVInsertServer::StartJob(const BMessage* job)
{
	_ReadJob(job);
	_WriteOpeningLines();
	fDestination = LoadDestinationAddOn(fAddOn.c_str(), &fVolume);
	if (fDestination == nullptr) {
		_Fatal(AddOnFailureText(), {fAddOn});
		return;
	}
	if (fIds.empty()) {
		_Error(kTextNothingToInsert);
		NextStep(kStepEnd);
		return;
	}
	fCurrent = 0;
	fResumeStep = kStepCheckLastMedium;
	NextStep(kStepBackupHeader);
}

void MVInsertServer::_ReadJob(const BMessage* job)
{
	BMessage startInfo;
	(void)job->FindMessage(kStartInfoKey, &startInfo);
	fTitle = startInfo.GetString("title", "");
	const BMessage& ids = HolderOf(kIdKey, startInfo, *job);
	const char* id;
	for (int32 index = 0; ids.FindString(kIdKey, index, &id) == B_OK; index++)
		fIds.push_back(id);
	fAddOn = HolderOf(kAddOnKey, startInfo, *job).GetString(kAddOnKey, "");
	(void)HolderOf(kVolumeKey, startInfo, *job).FindMessage(kVolumeKey, &fVolume);
}

void MVInsertServer::_WriteOpeningLines()
{
	LogInsert(kLineInfo, kTextStartingInsert, {fTitle});
	LogInsert(kLineSettings, kTextSingle, {" "});
	LogInsert(kLineSettings, kTextSettings);
	LogInsert(kLineSettings, kTextSingle, {" "});
	LogInsert(kLineSettings, kTextBackupsToInsert, {int32(fIds.size())});
	LogInsert(kLineSettings, kTextStart, {JobStatistics::DateText(GetStartTime())});
	LogInsert(kLineSettings, kTextSingle, {" "});
}

// #pragma mark - backup header

void MVInsertServer::BackupHeaderRead()
{
	const std::string& id = fIds[fCurrent];
	// The identifier names the catalogue file: a plain name or nothing.
	if (!AddOnLoader::IsPlainFileName(id.c_str())) {
		_Error(kTextNoSuchBackup, {id});
		_NextBackup();
		return;
	}
	if (!_OpenBackup(id))
		return;
	if (!fBegun) {
		if (!_BeginCatalogue(id))
			return;
	} else {
		LogInsert(kLineInfo, kTextBackupLoaded, {fHeader.title, _DestinationName(),
			int32(fHeader.mediumNumber)});
	}
	if (fScanner != nullptr) {
		if (!_HaveWantedMedium(id))
			return;
		fScanner->SetMedium(fReader.get(), fSource.get(), fWantedMedium);
	}
	NextStep(fResumeStep);
}

bool MVInsertServer::_OpenBackup(const std::string& id)
{
	if (fDestination->Start(id.c_str(), kVolumeModeRead) != 0) {
		_Fatal(kTextNoSuchBackup, {id});
		return false;
	}
	fDestinationOpen = true;
	fSource = std::make_unique<RestoreMediumSource>(fDestination);
	// No compressor: data blocks are passed over, never unpacked.
	fReader = std::make_unique<ArchiveReader>(fSource.get());
	if (fReader->ReadBackupHeader(&fHeader) != BackupHeaderStatus::Ok) {
		_Fatal(kTextNoBackupHeader, {id});
		return false;
	}
	fRecordsStart = fSource->Seek(0, kArchiveSeekFromCurrent);
	return true;
}

bool MVInsertServer::_BeginCatalogue(const std::string& id)
{
	CatalogueInfo info;
	info.backupId = id;
	info.title = fHeader.title;
	info.date = fHeader.creationTime;
	info.compressor = fHeader.compressor;
	info.password = fHeader.password;
	info.destination = fAddOn;
	info.destinationSettings = fVolume;
	info.removable = fHeader.removable;
	info.jobId = fHeader.jobId;
	info.mode = fHeader.mode;
	info.baseId = fHeader.baseId;
	if (fCatalogue.Begin(info) != B_OK
		|| fCatalogue.Message().ReplaceInt16(kLogVersionKey, int16(fHeader.version)) != B_OK) {
		_Fatal(kTextNoMemory);
		return false;
	}
	fBegun = true;
	LogInsert(kLineInfo, kTextInsertBackup, {fHeader.title, _DestinationName()});
	if (!VersionTest(&fCatalogue.Message())) {
		fFatal = true;
		NextStep(kStepEnd);
		return false;
	}
	return true;
}

// The scan reads the media in their order, from the first.
bool MVInsertServer::_HaveWantedMedium(const std::string& id)
{
	if (fHeader.mediumNumber == fWantedMedium)
		return true;
	if (!fDestination->IsRemovable()) {
		_Fatal(kTextNoSuchBackup, {id});
		return false;
	}
	_ChangeMedium(fResumeStep, kTextInsertMedia, {_DestinationName(), fWantedMedium});
	return false;
}

// #pragma mark - the quick way

void MVInsertServer::CheckLastMedium()
{
	fStreamEnd = FindStreamEnd(fSource.get());
	uint8 tail[kEndOfMediumSize];
	int64 tailStart = fStreamEnd - int64(kEndOfMediumSize);
	if (tailStart < fRecordsStart
		|| fSource->Seek(tailStart, kArchiveSeekFromStart) != tailStart
		|| fSource->ReadFully(tail, kEndOfMediumSize) != int64(kEndOfMediumSize)) {
		_StartScan();
		return;
	}
	if (ReadLE32(tail) == kEndOfMediumMagic) {
		_ChangeMedium(kStepCheckLastMedium, kTextInsertLastMedia, {fHeader.title});
		return;
	}
	NextStep(kStepFindCatalogue);
}

void MVInsertServer::FindCatalogue()
{
	CatalogueRecordFinder finder(fSource.get());
	int64 offset = 0;
	if (finder.Find(fRecordsStart, fStreamEnd, &offset) != B_OK
		|| fSource->Seek(offset, kArchiveSeekFromStart) != offset) {
		_StartScan();
		return;
	}
	NextStep(kStepReadCatalogue);
}

void MVInsertServer::ReadCatalogue()
{
	BMessage record;
	if (fReader->ReadCatalogueRecord(&record) != B_OK
		|| fSource->Seek(0, kArchiveSeekFromCurrent) != fStreamEnd) {
		_StartScan();
		return;
	}
	Catalogue catalogue(std::move(record));
	if (!IsSoundCatalogueRecord(catalogue)) {
		_StartScan();
		return;
	}
	if (!VersionTest(&catalogue.Message())) {
		fFatal = true;
		NextStep(kStepEnd);
		return;
	}
	if (catalogue.Message().SetMessage(kLogDestinationSettingsKey, &fVolume) != B_OK) {
		_Fatal(kTextNoMemory);
		return;
	}
	fCatalogue = std::move(catalogue);
	int64 size = 0;
	(void)fCatalogue.Message().FindInt64(kLogSizeKey, &size);
	_BackupRead(fCatalogue.CountEntries(), size);
}

void MVInsertServer::_StartScan()
{
	LogInsert(kLineWarning, kTextQuickInsertFailed);
	_CloseDestination();
	fScanner = std::make_unique<InsertScanner>(&fCatalogue);
	fWantedMedium = 1;
	fResumeStep = kStepFileHeader;
	NextStep(kStepBackupHeader);
}

// #pragma mark - the scan

void MVInsertServer::FileHeaderRead()
{
	InsertScanEvent event = fScanner->ReadHeader();
	switch (event) {
		case InsertScanEvent::EntryAdded:
		case InsertScanEvent::EntrySkipped:
			_EntryRead(event);
			break;
		case InsertScanEvent::StrayBlock:
			NextStep(kStepFileHeader);
			break;
		case InsertScanEvent::EndOfMedium:
			_MediumEnded(kStepFileHeader);
			break;
		case InsertScanEvent::EndOfBackup:
			if (fCatalogue.SetSize(fScanner->Bytes()) != B_OK
				|| fCatalogue.Message().AddInt32(kLogScannedKey, 1) != B_OK) {
				_Fatal(kTextNoMemory);
				return;
			}
			_BackupRead(fScanner->CountEntries(), fScanner->Bytes());
			break;
		case InsertScanEvent::NoMemory:
			_Fatal(kTextNoMemory);
			break;
		default:
			_Fatal(kTextBackupCorrupt);
			break;
	}
}

void MVInsertServer::_EntryRead(InsertScanEvent event)
{
	std::string path = Catalogue::CataloguePath(fScanner->Path());
	if (event == InsertScanEvent::EntryAdded) {
		LogInsert(EntryLineType(uint16(fScanner->Kind())), kTextSingle, {path});
		_Progress(path);
	} else {
		_Error(kTextCannotReadItem, {path});
	}
	switch (fScanner->Data()) {
		case InsertEntryData::FileBlocks:
			NextStep(kStepFileData);
			break;
		case InsertEntryData::LinkBlock:
			NextStep(kStepLinkData);
			break;
		case InsertEntryData::None:
			NextStep(kStepFileHeader);
			break;
	}
}

void MVInsertServer::FileDataRead(uint32 step)
{
	InsertScanEvent event = fScanner->ReadBlock();
	switch (event) {
		case InsertScanEvent::BlockRead:
			NextStep(step);
			break;
		case InsertScanEvent::DataDone:
			NextStep(kStepFileHeader);
			break;
		case InsertScanEvent::BlockWrongMagic:
		case InsertScanEvent::BlockHeadDamaged:
		case InsertScanEvent::BlockDataDamaged:
			_BlockFailed(event);
			NextStep(kStepFileHeader);
			break;
		case InsertScanEvent::EndOfMedium:
			_MediumEnded(step);
			break;
		default:
			_Fatal(kTextBackupCorrupt);
			break;
	}
}

void MVInsertServer::_BlockFailed(InsertScanEvent event)
{
	std::string path = Catalogue::CataloguePath(fScanner->Path());
	if (fScanner->Data() == InsertEntryData::LinkBlock) {
		int32 text = kTextCannotReadLink;
		if (event == InsertScanEvent::BlockWrongMagic)
			text = kTextLinkMismatch;
		else if (event == InsertScanEvent::BlockHeadDamaged)
			text = kTextCannotReadLinkHeader;
		_Error(text, {path});
		return;
	}
	int32 text = kTextCannotReadBlock;
	if (event == InsertScanEvent::BlockWrongMagic)
		text = kTextBlockMismatch;
	else if (event == InsertScanEvent::BlockHeadDamaged)
		text = kTextCannotReadBlockHeader;
	_Error(text, {path, int32(fScanner->BlockNumber())});
}

// #pragma mark - media

void MVInsertServer::_MediumEnded(uint32 resumeStep)
{
	if (!fDestination->IsRemovable()) {
		_Fatal(kTextNoSuchBackup, {fHeader.title});
		return;
	}
	fWantedMedium++;
	_ChangeMedium(resumeStep, kTextInsertMedia, {_DestinationName(), fWantedMedium});
}

void MVInsertServer::_ChangeMedium(uint32 resumeStep, int32 textID,
	const MVTextArguments& arguments)
{
	fResumeStep = resumeStep;
	// The medium is out before the user is asked, so that an answer never
	// meets the old medium still in the drive.
	_CloseDestination();
	(void)fDestination->Eject();
	AskForMedium(kStepBackupHeader, textID, arguments, B_INFO_ALERT);
}

// #pragma mark - catalogues

// The catalogue of the current backup is complete.
void MVInsertServer::_BackupRead(int32 files, int64 bytes)
{
	_CloseDestination();
	fStatistics.filesInserted += files;
	fStatistics.bytesInserted = AddByteCount(fStatistics.bytesInserted, bytes);
	PostInfo(nullptr, int32(fCurrent + 1), int32(fIds.size()), fStatistics.bytesInserted,
		fStatistics.bytesInserted);
	if (!_WriteCatalogue(fIds[fCurrent]))
		return;
	_NextBackup();
}

bool MVInsertServer::_WriteCatalogue(const std::string& id)
{
	std::string path = CatalogueFile::PathFor(fServerFolder, id);
	if (fServerFolder.empty()) {
		_Fatal(kTextCataloguePath, {path});
		return false;
	}
	std::string folder = fServerFolder + "/" + kCatalogueFolder;
	(void)create_directory(folder.c_str(), 0755);
	if (CatalogueFile::Write(path.c_str(), fCatalogue.Message()) != B_OK) {
		_Fatal(kTextCatalogueCreate, {path});
		return false;
	}
	fInserted.push_back(id);
	return true;
}

void MVInsertServer::_NextBackup()
{
	fCatalogue.Message().MakeEmpty();
	fScanner.reset();
	fBegun = false;
	fWantedMedium = 1;
	fResumeStep = kStepCheckLastMedium;
	fCurrent++;
	NextStep(fCurrent < fIds.size() ? kStepBackupHeader : kStepEnd);
}

// #pragma mark - reports and the end

void MVInsertServer::_Error(int32 textID, const MVTextArguments& arguments)
{
	LogInsert(kLineError, textID, arguments);
	fStatistics.errors++;
}

void MVInsertServer::_Fatal(int32 textID, const MVTextArguments& arguments)
{
	_Error(textID, arguments);
	fFatal = true;
	NextStep(kStepEnd);
}

void MVInsertServer::_Progress(const std::string& path)
{
	if (!fProgressThrottle.IsDue(system_time()))
		return;
	PostInfo(path.c_str(), int32(fCurrent), int32(fIds.size()),
		AddByteCount(fStatistics.bytesInserted, fScanner->Bytes()), fHeader.totalSize);
}

void MVInsertServer::EndJob()
{
	EndeInsert();
}

void MVInsertServer::EndeInsert()
{
	if (fEnded)
		return;
	fEnded = true;
	bool aborted = IsAborted() || fFatal;
	int32 elapsed = int32(CurrentTime() - GetStartTime());
	for (const JobReportLine& line : fStatistics.EndLines(elapsed, GetPause(), aborted))
		LogInsert(line.lineType, line.textID, line.arguments);
	_ReleaseDestination();

	BMessage end = EndMessage();
	for (const std::string& id : fInserted)
		end.AddString("backup_id", id.c_str());
	end.AddInt32("status", fStatistics.EndStatus(aborted));
	FinishJob(&end);
}

void MVInsertServer::_CloseDestination()
{
	fReader.reset();
	fSource.reset();
	if (fDestination != nullptr && fDestinationOpen)
		(void)fDestination->Stop();
	fDestinationOpen = false;
}

void MVInsertServer::_ReleaseDestination()
{
	_CloseDestination();
	if (fDestination == nullptr)
		return;
	delete fDestination;
	fDestination = nullptr;
	FreeDestinationAddOn();
}

std::string MVInsertServer::_DestinationName() const
{
	const char* name = fDestination != nullptr ? fDestination->Name() : nullptr;
	return name != nullptr ? name : "";
}
