#include "MVRestoreServer.h"

#include <cstring>
#include <ctime>

#include <app/AppDefs.h>
#include <app/Application.h>
#include <interface/Alert.h>
#include <kernel/OS.h>
#include <storage/SymLink.h>

#include "ArchiveReader.h"
#include "EntryLineType.h"
#include "EntryName.h"
#include "JobStatistics.h"
#include "CatalogueFile.h"
#include "CatalogueFormat.h"
#include "MVCruncher.h"
#include "MVLogBaseList.h"
#include "MVRedirection.h"
#include "MVVolume.h"
#include "RestoreEntryCreator.h"
#include "MediumSource.h"
#include "RestoreTexts.h"
#include "ServerProtocol.h"

namespace {

std::string LeafOf(const std::string& path)
{
	size_t slash = path.rfind('/');
	return slash == std::string::npos ? path : path.substr(slash + 1);
}

}	// namespace

MVRestoreServer::MVRestoreServer(std::string serverFolder, const AddOnLoader& loader)
	:
	MVReadServer("MVRestoreServer", std::move(serverFolder), kStepLoadBackup, kStepEnd, loader)
{
}

MVRestoreServer::~MVRestoreServer()
{
}

// #pragma mark - steps

void MVRestoreServer::RunStep(uint32 step)
{
	switch (step) {
		case kStepLoadBackup:
			BackupHeaderRead();
			break;
		case kStepNextItem:
			FileHeaderRead();
			break;
		case kStepCurrentItem:
			_HandleCurrentItem();
			break;
		case kStepData:
			ReadFile();
			break;
		case kStepLink:
			_ReadLink();
			break;
		case kStepEnd:
			EndReading();
			break;
	}
}

// #pragma mark - start

void MVRestoreServer::StartJob(const BMessage* job)
{
	fStatistics = RestoreStatistics();
	SetWantedMedia(1);
	fItemNumber = 1;

	BMessage options;
	(void)job->FindMessage("restore", &options);
	fOverwrite = OverwriteModeFrom(options.GetInt32("overwrite", 0));
	fCreateEmptyFolders = options.GetInt32("createemptydirs", 0);
	fCreateRoot = options.GetInt32("createroot", 0);
	BMessage startInfo;
	(void)job->FindMessage("start_info", &startInfo);
	_WriteOpeningLines(startInfo.GetString("title", ""));

	LogInsert(kLineInfo, kTextScanning);
	BMessage selection;
	(void)job->FindMessage("selection", &selection);
	fTree = std::make_unique<MVLogBaseList>(CatalogueRegistry(), &selection);
	MVRedirection redirections(&selection);
	while (redirections.NextLine()) {
		if (redirections.IsLineInclude())
			fTargets.AddRedirectionRoot(redirections.Redirection());
	}
	_CountItems();

	(void)fTree->FindFirst();
	SetResumeStep(kStepNextItem);
	NextStep(kStepLoadBackup);
}

void MVRestoreServer::_WriteOpeningLines(const char* title)
{
	LogInsert(kLineInfo, kTextStartingRestore, {title});
	LogInsert(kLineSettings, kTextSingle, {" "});
	LogInsert(kLineSettings, kTextSettings);
	LogInsert(kLineSettings, kTextSingle, {" "});
	int32 overwriteText = kTextOverwriteNo;
	if (fOverwrite == OverwriteMode::OlderOnly)
		overwriteText = kTextOverwriteOlder;
	else if (fOverwrite == OverwriteMode::Rename)
		overwriteText = kTextOverwriteRename;
	else if (fOverwrite == OverwriteMode::Yes)
		overwriteText = kTextOverwriteYes;
	LogInsert(kLineSettings, overwriteText);
	LogInsert(kLineSettings, fCreateEmptyFolders != 0 ? kTextEmptyFoldersYes : kTextEmptyFoldersNo);
	LogInsert(kLineSettings, fCreateRoot != 0 ? kTextRootYes : kTextRootNo);
	LogInsert(kLineSettings, kTextStart, {JobStatistics::DateText(GetStartTime())});
	LogInsert(kLineSettings, kTextSingle, {" "});
}

void MVRestoreServer::_CountItems()
{
	fTree->ForEach([this](const MVTreeEntryLog& entry) {
		if (entry.Type() != kLogTypeFile)
			return;
		fStatistics.filesToRestore++;
		fStatistics.bytesToRestore += entry.Size();
	});
}

// #pragma mark - loading a backup

void MVRestoreServer::BackupHeaderRead()
{
	MVTreeEntryLog* backup = fTree != nullptr ? fTree->CurrentBackup() : nullptr;
	if (backup == nullptr) {
		Fatal(kTextNothingToRestore, {});
		return;
	}
	LoadBackup(backup->Name());
}

void MVRestoreServer::CountReadError()
{
	fStatistics.errors++;
}

// #pragma mark - items

void MVRestoreServer::_ItemError(int32 textID, const MVTextArguments& arguments)
{
	LogInsert(kLineError, textID, arguments);
	fStatistics.errors++;
}

void MVRestoreServer::FileHeaderRead()
{
	if (fTree->FindNext() == nullptr) {
		NextStep(kStepEnd);
		return;
	}
	fItemNumber++;
	_HandleCurrentItem();
}

void MVRestoreServer::_HandleCurrentItem()
{
	MVTreeEntryLog* entry = fTree->FindCurrent();
	if (entry == nullptr) {
		NextStep(kStepEnd);
		return;
	}
	SetWantedMedia(entry->MediaNr());
	if (fTree->OutlineLevel() == 0) {
		SetResumeStep(kStepNextItem);
		NextStep(kStepLoadBackup);
		return;
	}
	_HandleItem(entry);
}

void MVRestoreServer::_HandleItem(const MVTreeEntryLog* entry)
{
	NextStep(kStepNextItem);
	fPath = entry->FullPath() != nullptr ? entry->FullPath() : "";
	fEntrySize = entry->Size();
	const char* redirection = entry->Redirection();
	if (redirection[0] == '\0' || redirection[0] == ' ')
		redirection = nullptr;

	if (!Backup().HasMedium(WantedMedia())) {
		StartMediaChange(kStepCurrentItem);
		return;
	}
	if (!IsSafeEntryPath(fPath.c_str())) {
		_ItemError(kTextCannotReadItem, {fPath});
		return;
	}
	if (Backup().Source()->Seek(entry->Offset(), kArchiveSeekFromStart) < 0
		|| Backup().Reader()->ReadFileHeaderData(&fHeader) != FileHeaderStatus::Ok
		|| !IsSafeEntryName(fHeader.Name())
		|| fHeader.RawKind() > uint16(EntryKind::VolumeRoot)) {
		_ItemError(kTextCannotReadItem, {fPath});
		return;
	}
	LogInsert(EntryLineType(fHeader.RawKind()), kTextSingle, {fPath});
	if (fHeader.Kind() == EntryKind::File && Backup().IsIncomplete(entry->Index()))
		_ItemError(kTextIncompleteInBackup, {fPath});
	fTarget = _TargetFor(redirection);
	fRedirection.reset();
	if (redirection != nullptr)
		fRedirection = redirection;
	_CreateTarget();
}

std::string MVRestoreServer::_TargetFor(const char* redirection) const
{
	if (redirection == nullptr)
		return fPath;
	std::string target(redirection);
	if (target.empty() || target.back() != '/')
		target += '/';
	return target + LeafOf(fPath);
}

const char* MVRestoreServer::_Redirection() const
{
	return fRedirection ? fRedirection->c_str() : nullptr;
}

void MVRestoreServer::_CreateTarget()
{
	switch (fHeader.Kind()) {
		case EntryKind::VolumeRoot:
			if (fCreateRoot != 0)
				_CreateFolder();
			break;
		case EntryKind::Directory:
			_CreateFolder();
			break;
		case EntryKind::SymLink:
			// Its block may lie on the next medium, as a file's data may.
			NextStep(kStepLink);
			break;
		case EntryKind::File:
			_CreateFile();
			break;
	}
}

void MVRestoreServer::_CreateFolder()
{
	BDirectory* folder;
	bool created = false;
	status_t status = fTargets.OpenFolder(fTarget, _Redirection(), true, &folder, &created);
	if (status == B_NOT_ALLOWED) {
		_ItemError(kTextCannotCreateOnTarget, {fPath});
		return;
	}
	if (status != B_OK) {
		_ItemError(kTextCannotCreateFolder, {fPath, int32(status)});
		return;
	}
	if (!created)
		LogInsert(kLineWarning, kTextFolderExists, {fPath});
	FileHeaderStat stat = fHeader.Stat();
	if (RestoreEntryCreator::ApplyOwnership(folder, stat) != B_OK)
		_ItemError(kTextCannotCreateOnTarget, {fPath});
	std::vector<std::string> refused;
	if (RestoreEntryCreator::WriteAttributes(folder, fHeader, Backup().CatalogueVersion(), &refused)
			!= B_OK)
		_ItemError(kTextCannotReadItem, {fPath});
	for (const std::string& name : refused)
		_ItemError(kTextCannotCreateOnTarget, {fPath + " (" + name + ")"});
	fFolders.Note(fTarget, _Redirection(), stat);
}

// The folder the current item goes into; null after an error line.
BDirectory* MVRestoreServer::_OpenParent(std::string* leaf)
{
	BDirectory* folder;
	if (fTargets.OpenParent(fTarget, _Redirection(), &folder, leaf) == B_OK)
		return folder;
	_ItemError(kTextCannotCreateOnTarget, {fPath});
	return nullptr;
}

void MVRestoreServer::_CreateLink()
{
	std::string text;
	switch (Backup().Reader()->ReadSymLink2(&text)) {
		case SymLinkStatus::Ok:
			break;
		case SymLinkStatus::WrongMagic:
			_ItemError(kTextLinkMismatch, {fPath});
			return;
		case SymLinkStatus::HeaderShort:
			_ItemError(kTextCannotReadLinkHeader, {fPath});
			return;
		case SymLinkStatus::TargetShort:
			_ItemError(kTextCannotReadLink, {fPath});
			return;
	}
	std::string leaf;
	BDirectory* folder = _OpenParent(&leaf);
	if (folder == nullptr)
		return;
	BSymLink link;
	status_t status = folder->CreateSymLinkAt(leaf.c_str(), text.c_str(), &link);
	if (status == B_FILE_EXISTS) {
		if (!_ResolveExisting(folder, leaf, true))
			return;
		status = folder->CreateSymLinkAt(leaf.c_str(), text.c_str(), &link);
		if (status != B_OK) {
			_ItemError(fOverwrite == OverwriteMode::Rename
				? kTextRenameFailedLink : kTextCannotOverwriteLink, {fPath});
			return;
		}
	} else if (status != B_OK) {
		_ItemError(kTextCannotCreateLink, {fPath, int32(status)});
		return;
	}
	std::vector<std::string> refused;
	(void)RestoreEntryCreator::WriteAttributes(&link, fHeader, Backup().CatalogueVersion(), &refused);
	for (const std::string& name : refused)
		_ItemError(kTextCannotCreateOnTarget, {fPath + " (" + name + ")"});
	if (RestoreEntryCreator::ApplyFinalMetadata(&link, fHeader.Stat(), true) != B_OK)
		_ItemError(kTextCannotCreateOnTarget, {fPath});
}

void MVRestoreServer::_CreateFile()
{
	std::string leaf;
	BDirectory* folder = _OpenParent(&leaf);
	fStatistics.filesRestored++;
	_Progress(false);
	if (folder == nullptr)
		return;
	status_t status = folder->CreateFileAt(leaf.c_str(), true, &fTargetFile);
	if (status == B_FILE_EXISTS) {
		if (!_ResolveExisting(folder, leaf, false))
			return;
		bool renamed = fOverwrite == OverwriteMode::Rename;
		status = folder->CreateFileAt(leaf.c_str(), renamed, &fTargetFile);
		if (status != B_OK) {
			_ItemError(renamed ? kTextRenameFailedFile : kTextCannotOverwriteFile, {fPath});
			return;
		}
	} else if (status == B_NOT_ALLOWED) {
		_ItemError(kTextCannotCreateOnTarget, {fPath});
		return;
	} else if (status != B_OK) {
		_ItemError(kTextCannotCreateFile, {fPath, int32(status)});
		return;
	}
	_FileCreated();
}

// Applies the overwrite mode to the entry in the way; true when it is gone
// and the item may be created.
bool MVRestoreServer::_ResolveExisting(BDirectory* folder, const std::string& leaf, bool isLink)
{
	fTargetFile.Unset();
	struct stat status;
	if (folder->GetStatAt(leaf.c_str(), &status) != B_OK)
		return false;
	OverwriteAction action = DecideOverwrite(fOverwrite, status.st_mtime,
		time_t(uint32(fHeader.Stat().modificationTime)));
	switch (action) {
		case OverwriteAction::Skip:
			return false;
		case OverwriteAction::Replace:
			if (folder->RemoveAt(leaf.c_str()) == B_OK)
				return true;
			_ItemError(isLink ? kTextCannotOverwriteLink : kTextCannotOverwriteFile, {fPath});
			return false;
		case OverwriteAction::RenameExisting: {
			std::string renamed;
			if (RenameExistingAside(*folder, leaf, &renamed) == B_OK)
				return true;
			_ItemError(isLink ? kTextCannotRenameLink : kTextCannotRenameFile, {fPath});
			return false;
		}
	}
	return false;
}

void MVRestoreServer::_FileCreated()
{
	std::vector<std::string> refused;
	if (RestoreEntryCreator::WriteAttributes(&fTargetFile, fHeader, Backup().CatalogueVersion(), &refused)
			!= B_OK)
		_ItemError(kTextCannotReadItem, {fPath});
	for (const std::string& name : refused)
		_ItemError(kTextCannotCreateOnTarget, {fPath + " (" + name + ")"});
	StartFileBlocks();
	if (fHeader.Stat().size != 0) {
		NextStep(kStepData);
		return;
	}
	_FinishFile();
}

void MVRestoreServer::_FinishFile()
{
	if (RestoreEntryCreator::ApplyFinalMetadata(&fTargetFile, fHeader.Stat(), false) != B_OK)
		_ItemError(kTextCannotCreateOnTarget, {fPath});
	fTargetFile.Unset();
	fStatistics.bytesRestored += fEntrySize;
	_Progress(fStatistics.filesRestored == fStatistics.filesToRestore);
}

void MVRestoreServer::_AbandonFile()
{
	// What was written stays; its times say that it is not the backed-up
	// file.
	fTargetFile.Unset();
	NextStep(kStepNextItem);
}

// #pragma mark - file data

void MVRestoreServer::_ReadLink()
{
	if (!HaveBlockOnMedium(kStepLink))
		return;
	NextStep(kStepNextItem);
	_CreateLink();
}

void MVRestoreServer::_BlockFailed(DataBlockStatus failure)
{
	int32 number = BlockNumber();
	if (failure == DataBlockStatus::HeaderShort)
		_ItemError(kTextCannotReadBlockHeader, {fPath, number});
	else if (failure == DataBlockStatus::DataShort)
		_ItemError(kTextCannotReadBlock, {fPath, number});
	else
		_ItemError(kTextBlockMismatch, {fPath, number});
	_AbandonFile();
}

void MVRestoreServer::ReadFile()
{
	DataBlock block;
	DataBlockStatus failure;
	switch (ReadNextBlock(kStepData, &block, &failure)) {
		case BlockResult::MediumAsked:
			return;
		case BlockResult::Failed:
			_BlockFailed(failure);
			return;
		case BlockResult::Read:
			break;
	}
	int32 number = BlockNumber();
	ssize_t written = block.length > 0 ? fTargetFile.Write(block.data, block.length) : 0;
	if (written != ssize_t(block.length)) {
		_ItemError(kTextCannotWriteBlock, {fPath, number});
		_AbandonFile();
		return;
	}
	if (!block.IsLast()) {
		NextStep(kStepData);
		return;
	}
	NextStep(kStepNextItem);
	_FinishFile();
}

// #pragma mark - progress and end

void MVRestoreServer::_Progress(bool force)
{
	if (!fProgressThrottle.IsDue(system_time()) && !force)
		return;
	if (force) {
		PostInfo(fPath.c_str(), fStatistics.filesRestored, fStatistics.filesRestored,
			fStatistics.bytesRestored, fStatistics.bytesRestored);
		return;
	}
	PostInfo(fPath.c_str(), fStatistics.filesRestored, fStatistics.filesToRestore,
		fStatistics.bytesRestored, fStatistics.bytesToRestore);
}

std::vector<JobReportLine> MVRestoreServer::CloseJob(bool aborted, int32 elapsed,
	int32 paused, BMessage* end)
{
	fTargetFile.Unset();
	fFolders.FinishAll(&fTargets);
	end->AddInt32("status", fStatistics.EndStatus(aborted));
	return fStatistics.EndLines(elapsed, paused, aborted);
}
