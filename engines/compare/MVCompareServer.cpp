#include "MVCompareServer.h"

#include <algorithm>
#include <cstring>

#include <kernel/OS.h>

#include "ArchiveReader.h"
#include "CompareTexts.h"
#include "EntryLineType.h"
#include "JobStatistics.h"
#include "LiveEntryComparer.h"
#include "MVLogDataModel.h"
#include "MediumSource.h"
#include "EntryName.h"

MVCompareServer::MVCompareServer(std::string serverFolder, const AddOnLoader& loader)
	:
	MVReadServer("MVCompareServer", std::move(serverFolder), kStepLoadBackup, kStepEnd, loader)
{
}

MVCompareServer::~MVCompareServer() = default;

// #pragma mark - steps

void MVCompareServer::RunStep(uint32 step)
{
	switch (step) {
		case kStepLoadBackup:
			BackupHeaderRead();
			break;
		case kStepNextItem:
			FileHeaderRead();
			break;
		case kStepLink:
			_ReadLink();
			break;
		case kStepData:
			ReadFile();
			break;
		case kStepEnd:
			EndReading();
			break;
	}
}

// #pragma mark - start

void MVCompareServer::StartJob(const BMessage* job)
{
	StartCompare(job);
}

void MVCompareServer::StartCompare(const BMessage* job)
{
	fStatistics = CompareStatistics();
	fPosition = 1;
	SetWantedMedia(1);
	BMessage compare;
	(void)job->FindMessage("compare", &compare);
	fOptions = CompareOptions(compare);
	BMessage startInfo;
	(void)job->FindMessage("start_info", &startInfo);
	_WriteOpeningLines(startInfo.GetString("title", ""));

	LogInsert(kLineInfo, kTextScanning);
	BMessage selection;
	(void)job->FindMessage("selection", &selection);
	fModel = std::make_unique<MVLogDataModel>(CatalogueRegistry());
	fModel->DeselectAll();
	(void)fModel->SetSelection(&selection);
	_CountItems();
	const MVLogDataItem* first = fModel->SuperItemFromCurrentSelection(1);
	fCurrentBackup = first != nullptr ? first->data.name : std::string();

	SetResumeStep(kStepNextItem);
	NextStep(kStepLoadBackup);
}

void MVCompareServer::_WriteOpeningLines(const char* title)
{
	LogInsert(kLineInfo, kTextStartingCompare, {title});
	LogInsert(kLineSettings, kTextSingle, {" "});
	LogInsert(kLineSettings, kTextSelectedItems);
	for (CompareItem item : fOptions.Items())
		LogInsert(kLineSettings, kTextItemFileData + int32(item));
	LogInsert(kLineSettings, kTextSingle, {" "});
	LogInsert(kLineSettings, kTextStart, {JobStatistics::DateText(GetStartTime())});
	LogInsert(kLineSettings, kTextSingle, {" "});
}

void MVCompareServer::_CountItems()
{
	int32 count = fModel->CountSelected();
	for (int32 position = 1; position <= count; position++) {
		const MVLogDataItem* item = fModel->FullListCurrentSelection(position);
		if (item->IsBackup() || item->data.type != kLogTypeFile)
			continue;
		fStatistics.filesToCompare++;
		fStatistics.bytesToCompare += item->data.size;
	}
}

// #pragma mark - loading a backup

// Loads the backup of the item taken last (of the first item at the start),
// also when a medium change in the middle of that item asks for it again.
void MVCompareServer::BackupHeaderRead()
{
	if (fCurrentBackup.empty()) {
		Fatal(kTextNothingToCompare, {});
		return;
	}
	LoadBackup(fCurrentBackup.c_str());
}

// #pragma mark - items

void MVCompareServer::CountReadError()
{
	fStatistics.readErrors++;
}

void MVCompareServer::_ItemError(int32 textID, const MVTextArguments& arguments)
{
	LogInsert(kLineError, textID, arguments);
	CountReadError();
}

// Takes the selected item at the position; false when the step that
// follows is named already (the end, or loading a backup first).
bool MVCompareServer::_TakeItem(MVLogDataItem** item)
{
	*item = fModel->FullListCurrentSelection(fPosition);
	if (*item == nullptr) {
		NextStep(kStepEnd);
		return false;
	}
	fPosition++;
	SetWantedMedia((*item)->data.mediaNumber);
	fCurrentBackup = (*item)->Backup()->data.name;
	if ((*item)->IsBackup()) {
		if ((*item)->data.name == Backup().CatalogueName() && Backup().IsOpen()) {
			// Loaded already, for the item that came first.
			NextStep(kStepNextItem);
			return false;
		}
		SetResumeStep(kStepNextItem);
		NextStep(kStepLoadBackup);
		return false;
	}
	if ((*item)->Backup()->data.name != Backup().CatalogueName()) {
		// An item of another backup whose own line was not selected: that
		// backup is loaded first, and the item taken again.
		fPosition--;
		SetResumeStep(kStepNextItem);
		NextStep(kStepLoadBackup);
		return false;
	}
	return true;
}

// The names from the volume down to the item, as the view holds them: a
// catalogue's full path is not trusted to agree with its tree.
std::string MVCompareServer::_LivePath(const MVLogDataItem& item)
{
	std::string path = item.CataloguePath();
	return path.substr(std::min(path.size(), item.Backup()->data.name.size() + 1));
}

void MVCompareServer::FileHeaderRead()
{
	MVLogDataItem* item;
	if (!_TakeItem(&item))
		return;
	fPath = _LivePath(*item);
	fLeaf = item->data.name;
	fEntrySize = item->data.size;
	if (!Backup().HasMedium(WantedMedia())) {
		// The item is taken again once the medium is in.
		fPosition--;
		StartMediaChange(kStepNextItem);
		return;
	}
	_ReadHeader(*item);
}

void MVCompareServer::_ReadHeader(const MVLogDataItem& item)
{
	NextStep(kStepNextItem);
	if (!IsSafeEntryPath(fPath.c_str())
		|| Backup().Source()->Seek(item.data.offset, kArchiveSeekFromStart) < 0
		|| Backup().Reader()->ReadFileHeaderData(&fHeader) != FileHeaderStatus::Ok
		|| fHeader.RawKind() > uint16(EntryKind::VolumeRoot)) {
		_ItemError(kTextCannotReadItem, {fPath});
		return;
	}
	LogInsert(EntryLineType(fHeader.RawKind()), kTextSingle, {fPath});
	if (fHeader.Kind() == EntryKind::File && Backup().IsIncomplete(item.data.index))
		_ItemError(kTextIncompleteInBackup, {fPath});
	if (fHeader.Kind() == EntryKind::SymLink) {
		// Its block may lie on the next medium.
		NextStep(kStepLink);
		return;
	}
	CompareFileHeader(std::string());
}

void MVCompareServer::_ReadLink()
{
	if (!HaveBlockOnMedium(kStepLink))
		return;
	NextStep(kStepNextItem);
	std::string text;
	switch (Backup().Reader()->ReadSymLink2(&text)) {
		case SymLinkStatus::Ok:
			CompareFileHeader(text);
			return;
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
}

void MVCompareServer::CompareFileHeader(const std::string& backupLink)
{
	NextStep(kStepNextItem);
	LiveComparison result = LiveEntryComparer(fOptions).Compare(fPath, fLeaf, fHeader,
		Backup().CatalogueVersion(), backupLink, &fSourceFile);
	for (const JobReportLine& line : result.lines)
		LogInsert(line.lineType, line.textID, line.arguments);
	fStatistics.misscompared += result.misscompared;
	fStatistics.readErrors += result.readErrors;
	if (result.type != LiveType::File)
		return;

	fStatistics.filesCompared++;
	_Progress(false);
	StartFileBlocks();
	bool hasData = fHeader.Kind() == EntryKind::File && fHeader.Stat().size != 0;
	if (!hasData || !fOptions.Compares(CompareItem::FileData)) {
		_FinishFile();
		return;
	}
	if (fSourceFile.InitCheck() != B_OK) {
		_ItemError(kTextCannotReadSource, {fLeaf});
		return;
	}
	NextStep(kStepData);
}

// #pragma mark - file data

void MVCompareServer::_BlockFailed(DataBlockStatus failure)
{
	if (failure == DataBlockStatus::HeaderShort)
		_ItemError(kTextCannotReadBackupBlockHeader, {fPath});
	else if (failure == DataBlockStatus::DataShort)
		_ItemError(kTextCannotReadBackupData, {fLeaf});
	else
		_ItemError(kTextBlockMismatch, {fPath, BlockNumber()});
	_FinishFile();
}

void MVCompareServer::ReadFile()
{
	DataBlock block;
	DataBlockStatus failure;
	switch (ReadNextBlock(kStepData, &block, &failure)) {
		case BlockResult::MediumAsked:
			return;
		case BlockResult::Failed:
			NextStep(kStepNextItem);
			_BlockFailed(failure);
			return;
		case BlockResult::Read:
			break;
	}
	NextStep(kStepNextItem);
	if (!_CompareBlock(block.data, block.length)) {
		_FinishFile();
		return;
	}
	if (!block.IsLast()) {
		NextStep(kStepData);
		return;
	}
	if (_LiveFileHasMore()) {
		LogInsert(kLineError, kTextDataDifferent, {fLeaf});
		fStatistics.misscompared++;
	}
	_FinishFile();
}

// False, with its line, when the live file differs or cannot be read: the
// rest of the file is not compared.
bool MVCompareServer::_CompareBlock(const uint8* data, uint32 length)
{
	if (fReadBuffer.size() < length)
		fReadBuffer.resize(length);
	ssize_t read = length > 0 ? fSourceFile.Read(fReadBuffer.data(), length) : 0;
	if (read != ssize_t(length)) {
		_ItemError(kTextCannotReadSource, {fLeaf});
		return false;
	}
	if (length > 0 && memcmp(fReadBuffer.data(), data, length) != 0) {
		LogInsert(kLineError, kTextDataDifferent, {fLeaf});
		fStatistics.misscompared++;
		return false;
	}
	return true;
}

// A live file that grew after its last block differs too, even when its
// size is not compared.
bool MVCompareServer::_LiveFileHasMore()
{
	uint8 extra;
	return fSourceFile.Read(&extra, 1) > 0;
}

void MVCompareServer::_FinishFile()
{
	bool comparedData = fSourceFile.InitCheck() == B_OK
		&& fOptions.Compares(CompareItem::FileData);
	fSourceFile.Unset();
	if (comparedData)
		fStatistics.bytesCompared += fEntrySize;
	_Progress(fStatistics.filesCompared == fStatistics.filesToCompare);
}

// #pragma mark - progress and end

void MVCompareServer::_Progress(bool force)
{
	if (!fProgressThrottle.IsDue(system_time()) && !force)
		return;
	PostInfo(fPath.c_str(), fStatistics.filesCompared,
		force ? fStatistics.filesCompared : fStatistics.filesToCompare,
		fStatistics.bytesCompared, force ? fStatistics.bytesCompared : fStatistics.bytesToCompare);
}

std::vector<JobReportLine> MVCompareServer::CloseJob(bool aborted, int32 elapsed,
	int32 paused, BMessage* end)
{
	fSourceFile.Unset();
	fModel.reset();
	end->AddInt32("status", fStatistics.EndStatus(aborted));
	return fStatistics.EndLines(elapsed, paused, aborted);
}
