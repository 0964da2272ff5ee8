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
#include "MediumSource.h"
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
	MVReadServer("MVInsertServer", std::move(serverFolder), kStepBackupHeader, kStepEnd, loader)
{
}

MVInsertServer::~MVInsertServer() = default;

// #pragma mark - steps

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
			EndReading();
			break;
	}
}

// #pragma mark - start

void MVInsertServer::StartJob(const BMessage* job)
{
	_ReadJob(job);
	_WriteOpeningLines();
	BackupLoader::Failure failure;
	if (!Backup().LoadDestination(fAddOn.c_str(), fVolume, &failure)) {
		_Fatal(failure.textID, failure.arguments);
		return;
	}
	if (fIds.empty()) {
		_Error(kTextNothingToInsert);
		NextStep(kStepEnd);
		return;
	}
	LogInsert(kLineInfo, kTextInsertingFrom, {Backup().DestinationName()});
	fCurrent = 0;
	SetResumeStep(kStepCheckLastMedium);
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
		LogInsert(kLineInfo, kTextBackupLoaded, {Backup().Header().title,
			Backup().DestinationName(), int32(Backup().Header().mediumNumber)});
	}
	if (fScanner != nullptr) {
		if (!_HaveWantedMedium(id))
			return;
		fScanner->SetMedium(Backup().Reader(), Backup().Source(), WantedMedia());
	}
	NextStep(ResumeStep());
}

bool MVInsertServer::_OpenBackup(const std::string& id)
{
	switch (Backup().Open(id)) {
		case BackupLoader::OpenResult::Opened:
			fRecordsStart = Backup().Source()->Seek(0, kArchiveSeekFromCurrent);
			return true;
		case BackupLoader::OpenResult::NotThere:
			if (!_AskAgain())
				_Fatal(kTextNoSuchBackup, {id});
			return false;
		case BackupLoader::OpenResult::NoHeader:
			if (!_AskAgain())
				_Fatal(kTextNoBackupHeader, {id});
			return false;
	}
	return false;
}

// A wrong medium in the drive of a backup read in part already: the one
// wanted is asked for again rather than losing what was read.
bool MVInsertServer::_AskAgain()
{
	if (!fBegun || !Backup().IsDestinationRemovable())
		return false;
	StartMediaChange(ResumeStep());
	return true;
}

bool MVInsertServer::_BeginCatalogue(const std::string& id)
{
	const BackupHeader& header = Backup().Header();
	CatalogueInfo info;
	info.backupId = id;
	info.title = header.title;
	info.date = header.creationTime;
	info.compressor = header.compressor;
	info.password = header.password;
	info.destination = fAddOn;
	info.destinationSettings = fVolume;
	info.removable = header.removable;
	info.jobId = header.jobId;
	info.mode = header.mode;
	info.baseId = header.baseId;
	if (fCatalogue.Begin(info) != B_OK
		|| fCatalogue.Message().ReplaceInt16(kLogVersionKey, int16(header.version)) != B_OK) {
		_Fatal(kTextNoMemory);
		return false;
	}
	fBegun = true;
	LogInsert(kLineInfo, kTextInsertBackup, {header.title, Backup().DestinationName()});
	if (!VersionTest(&fCatalogue.Message())) {
		Fatal(0, {});
		return false;
	}
	return true;
}

// The scan reads the media in their order, from the first.
bool MVInsertServer::_HaveWantedMedium(const std::string& id)
{
	if (Backup().HasMedium(WantedMedia()))
		return true;
	if (!Backup().IsDestinationRemovable()) {
		_Fatal(kTextNoSuchBackup, {id});
		return false;
	}
	StartMediaChange(ResumeStep());
	return false;
}

// #pragma mark - the quick way

void MVInsertServer::CheckLastMedium()
{
	fStreamEnd = FindStreamEnd(Backup().Source());
	uint8 tail[kEndOfMediumSize];
	int64 tailStart = fStreamEnd - int64(kEndOfMediumSize);
	if (tailStart < fRecordsStart
		|| Backup().Source()->Seek(tailStart, kArchiveSeekFromStart) != tailStart
		|| Backup().Source()->ReadFully(tail, kEndOfMediumSize) != int64(kEndOfMediumSize)) {
		_StartScan();
		return;
	}
	// A fixed destination has no further medium to ask for.
	if (ReadLE32(tail) == kEndOfMediumMagic && !Backup().IsDestinationRemovable()) {
		_StartScan();
		return;
	}
	if (ReadLE32(tail) == kEndOfMediumMagic) {
		ChangeMedium(kStepCheckLastMedium, kTextInsertLastMedia, {Backup().Header().title});
		return;
	}
	NextStep(kStepFindCatalogue);
}

void MVInsertServer::FindCatalogue()
{
	CatalogueRecordFinder finder(Backup().Source());
	int64 offset = 0;
	if (finder.Find(fRecordsStart, fStreamEnd, &offset) != B_OK
		|| Backup().Source()->Seek(offset, kArchiveSeekFromStart) != offset) {
		_StartScan();
		return;
	}
	NextStep(kStepReadCatalogue);
}

void MVInsertServer::ReadCatalogue()
{
	BMessage record;
	if (Backup().Reader()->ReadCatalogueRecord(&record) != B_OK
		|| Backup().Source()->Seek(0, kArchiveSeekFromCurrent) != fStreamEnd) {
		_StartScan();
		return;
	}
	Catalogue catalogue(std::move(record));
	if (!IsSoundCatalogueRecord(catalogue)) {
		_StartScan();
		return;
	}
	if (!VersionTest(&catalogue.Message())) {
		Fatal(0, {});
		return;
	}
	// The backup is now read from the job's destination, whatever the
	// record says it was written to.
	if (catalogue.Message().SetString(kLogDestinationKey, fAddOn.c_str()) != B_OK
		|| catalogue.Message().SetMessage(kLogDestinationSettingsKey, &fVolume) != B_OK) {
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
	Backup().Close();
	fScanner = std::make_unique<InsertScanner>(&fCatalogue);
	SetWantedMedia(1);
	SetResumeStep(kStepFileHeader);
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
	if (!Backup().IsDestinationRemovable()) {
		_Fatal(kTextNoSuchBackup, {Backup().Header().title});
		return;
	}
	MediumEnded(resumeStep);
}

// #pragma mark - catalogues

// The catalogue of the current backup is complete.
void MVInsertServer::_BackupRead(int32 files, int64 bytes)
{
	Backup().Close();
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
	std::string path = CatalogueFile::PathFor(ServerFolder(), id);
	if (ServerFolder().empty()) {
		_Fatal(kTextCataloguePath, {path});
		return false;
	}
	std::string folder = ServerFolder() + "/" + kCatalogueFolder;
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
	SetWantedMedia(1);
	SetResumeStep(kStepCheckLastMedium);
	fCurrent++;
	NextStep(fCurrent < fIds.size() ? kStepBackupHeader : kStepEnd);
}

// #pragma mark - reports and the end

void MVInsertServer::CountReadError()
{
	fStatistics.errors++;
}

void MVInsertServer::_Error(int32 textID, const MVTextArguments& arguments)
{
	LogInsert(kLineError, textID, arguments);
	CountReadError();
}

void MVInsertServer::_Fatal(int32 textID, const MVTextArguments& arguments)
{
	CountReadError();
	Fatal(textID, arguments);
}

void MVInsertServer::_Progress(const std::string& path)
{
	if (!fProgressThrottle.IsDue(system_time()))
		return;
	PostInfo(path.c_str(), int32(fCurrent), int32(fIds.size()),
		AddByteCount(fStatistics.bytesInserted, fScanner->Bytes()), Backup().Header().totalSize);
}

std::vector<JobReportLine> MVInsertServer::CloseJob(bool aborted, int32 elapsed,
	int32 paused, BMessage* end)
{
	for (const std::string& id : fInserted)
		end->AddString("backup_id", id.c_str());
	end->AddInt32("status", fStatistics.EndStatus(aborted));
	return fStatistics.EndLines(elapsed, paused, aborted);
}
