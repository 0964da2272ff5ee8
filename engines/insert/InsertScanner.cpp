#include "InsertScanner.h"

#include <climits>
#include <cstring>
#include <string_view>

#include <storage/StorageDefs.h>

#include "ByteCount.h"
#include "EntryName.h"

namespace {

constexpr size_t kMaxNameLength = B_FILE_NAME_LENGTH - 1;

bool IsFolder(EntryKind kind)
{
	return kind == EntryKind::Directory || kind == EntryKind::VolumeRoot;
}

}	// namespace

InsertScanner::InsertScanner(Catalogue* catalogue)
	:
	fCatalogue(catalogue)
{
}

void InsertScanner::SetMedium(ArchiveReader* reader, ArchiveSource* source, int32 mediumNumber)
{
	fReader = reader;
	fSource = source;
	fMedium = mediumNumber;
}

// #pragma mark - file headers

InsertScanEvent InsertScanner::ReadHeader()
{
	fData = InsertEntryData::None;
	fBlockNumber = 0;
	int64 start = _Position();
	if (start < 0)
		return InsertScanEvent::Damaged;
	uint8 head[kRecordHeadSize];
	int64 got = _Peek(head, start);
	if (got < 0)
		return InsertScanEvent::Damaged;
	if (got == 0)
		return InsertScanEvent::EndOfBackup;
	if (got < int64(kRecordHeadSize))
		return InsertScanEvent::Truncated;
	switch (ReadLE32(head)) {
		case kFileHeaderMagic:
			return _ReadEntry(start);
		case kDataBlockMagic:
			return _PassStrayBlock(start);
		case kEndOfMediumMagic:
			return InsertScanEvent::EndOfMedium;
		case kCatalogueMagic:
			return InsertScanEvent::EndOfBackup;
		default:
			return InsertScanEvent::Damaged;
	}
}

InsertScanEvent InsertScanner::_ReadEntry(int64 start)
{
	if (fReader->ReadFileHeaderData(&fHeader) != FileHeaderStatus::Ok)
		return _HeaderFailed(start);
	return _AddEntry(start);
}

// The header's lengths do not fit: its entry ends here, and the scan goes on
// after it when its length leads to a byte of the stream.
InsertScanEvent InsertScanner::_HeaderFailed(int64 start)
{
	const char* name = fHeader.Name();
	fKind = EntryKind::File;
	fPath = _PathOf(fHeader.Level(), name != nullptr ? name : "");
	uint32 total = ReadLE32(fHeader.Data() + kFileHeaderTotalOffset);
	if (!_Reaches(start + kFileHeaderFixedSize))
		return InsertScanEvent::Truncated;
	// Whatever lies below a skipped header has no place in the tree either.
	_NoteLevel(fHeader.Level(), false);
	// Older layouts store a shorter length than the converted one.
	if (fReader->Version() < kArchiveVersion || total <= kFileHeaderFixedSize
		|| total > kFileHeaderMaxLength)
		return InsertScanEvent::Damaged;
	if (!_Reaches(start + total))
		return InsertScanEvent::Truncated;
	if (fSource->Seek(start + total, kArchiveSeekFromStart) != start + total)
		return InsertScanEvent::Damaged;
	return InsertScanEvent::EntrySkipped;
}

InsertScanEvent InsertScanner::_AddEntry(int64 start)
{
	uint16 rawKind = fHeader.RawKind();
	uint32 level = fHeader.Level();
	const char* name = fHeader.Name();
	if (name == nullptr)
		name = "";
	fKind = EntryKind(rawKind);
	if (fKind == EntryKind::SymLink)
		fData = InsertEntryData::LinkBlock;
	else if (fKind == EntryKind::File && fHeader.Stat().size != 0)
		fData = InsertEntryData::FileBlocks;
	fPath = _PathOf(level, name);

	bool sound = rawKind <= uint16(EntryKind::VolumeRoot) && _IsSound(name, level);
	_NoteLevel(level, sound && IsFolder(fKind));
	if (!sound)
		return InsertScanEvent::EntrySkipped;
	CatalogueEntry entry = _EntryAt(start, level);
	// The catalogue must stay a message that can be stored, whatever the
	// medium's paths add up to.
	fCatalogueBytes += entry.path.size() + kEntryOverhead;
	if (fCatalogueBytes > kMaxCatalogueBytes || fCatalogue->AddEntry(entry) != B_OK)
		return InsertScanEvent::NoMemory;
	fEntries++;
	fBytes = AddByteCount(fBytes, entry.size);
	return InsertScanEvent::EntryAdded;
}

CatalogueEntry InsertScanner::_EntryAt(int64 start, uint32 level) const
{
	FileHeaderStat stat = fHeader.Stat();
	CatalogueEntry entry;
	entry.path = fPath;
	entry.kind = fKind;
	entry.size = stat.size;
	entry.level = int32(level);
	entry.mediumNumber = fMedium;
	entry.offset = start;
	entry.modificationTime = stat.modificationTime;
	entry.entryNumber = int32(fHeader.EntryNumber());
	return entry;
}

// A leaf name, a level below a sound folder, and numbers a catalogue holds.
bool InsertScanner::_IsSound(const char* name, uint32 level) const
{
	if (!IsSafeEntryName(name) || strlen(name) > kMaxNameLength
		|| fPath.size() > kMaxPathLength)
		return false;
	int64 number = fHeader.EntryNumber();
	if (fHeader.Stat().size < 0 || number < 0 || number > INT32_MAX)
		return false;
	if (level == 0)
		return true;
	return level <= fLevels.size() && fLevels[level - 1].holdsEntries;
}

// A header whose level skips one leaves the levels as they are: it has no
// place in the tree.
void InsertScanner::_NoteLevel(uint32 level, bool holdsEntries)
{
	if (level > fLevels.size())
		return;
	fLevels.resize(level);
	// Only a level that takes entries needs its path: a chain of headers
	// below a refused one must not hold a path per level.
	fLevels.push_back({holdsEntries ? fPath : std::string(), holdsEntries});
}

std::string InsertScanner::_PathOf(uint32 level, const char* name) const
{
	std::string path;
	if (level > 0 && level <= fLevels.size() && fLevels[level - 1].holdsEntries)
		path = fLevels[level - 1].path;
	// A name too long for any entry is shown cut.
	return path.append("/").append(std::string_view(name).substr(0, kMaxNameLength));
}

// #pragma mark - data blocks

InsertScanEvent InsertScanner::ReadBlock()
{
	int64 start = _Position();
	if (start < 0)
		return InsertScanEvent::Damaged;
	uint8 head[kRecordHeadSize];
	int64 got = _Peek(head, start);
	if (got < 0)
		return InsertScanEvent::Damaged;
	if (got < int64(kRecordHeadSize))
		return InsertScanEvent::Truncated;
	if (ReadLE32(head) == kEndOfMediumMagic)
		return InsertScanEvent::EndOfMedium;
	fBlockNumber++;
	if (fData == InsertEntryData::LinkBlock)
		return _ReadLinkBlock(start);
	return _ReadFileBlock(start);
}

InsertScanEvent InsertScanner::_ReadFileBlock(int64 start)
{
	DataBlock block;
	switch (fReader->ReadDataBlock(&block)) {
		case DataBlockStatus::Ok:
			return block.IsLast() ? InsertScanEvent::DataDone : InsertScanEvent::BlockRead;
		case DataBlockStatus::WrongMagic:
			(void)fSource->Seek(start, kArchiveSeekFromStart);
			return InsertScanEvent::BlockWrongMagic;
		case DataBlockStatus::HeaderShort:
			if (_AtEnd())
				return InsertScanEvent::Truncated;
			(void)fSource->Seek(start, kArchiveSeekFromStart);
			return InsertScanEvent::BlockHeadDamaged;
		case DataBlockStatus::DataShort:
			return _AtEnd() ? InsertScanEvent::Truncated : InsertScanEvent::BlockDataDamaged;
		case DataBlockStatus::EndOfMedium:
			return InsertScanEvent::Truncated;
		case DataBlockStatus::Corrupt:
			break;
	}
	return InsertScanEvent::BlockDataDamaged;
}

InsertScanEvent InsertScanner::_ReadLinkBlock(int64 start)
{
	std::string target;
	switch (fReader->ReadSymLink2(&target)) {
		case SymLinkStatus::Ok:
			return InsertScanEvent::DataDone;
		case SymLinkStatus::WrongMagic:
			(void)fSource->Seek(start, kArchiveSeekFromStart);
			return InsertScanEvent::BlockWrongMagic;
		case SymLinkStatus::HeaderShort:
			if (_AtEnd())
				return InsertScanEvent::Truncated;
			(void)fSource->Seek(start, kArchiveSeekFromStart);
			return InsertScanEvent::BlockHeadDamaged;
		case SymLinkStatus::TargetShort:
			break;
	}
	if (_AtEnd())
		return InsertScanEvent::Truncated;
	// A block too long for a link is still a block: the scan goes on after
	// it.
	(void)fSource->Seek(start, kArchiveSeekFromStart);
	if (fReader->SkipData() != SkipStatus::Ok) {
		(void)fSource->Seek(start, kArchiveSeekFromStart);
		return InsertScanEvent::BlockDataDamaged;
	}
	// Skipping seeks over the payload, which may lie beyond the end.
	int64 end = _Position();
	return end >= 0 && _Reaches(end) ? InsertScanEvent::BlockDataDamaged
		: InsertScanEvent::Truncated;
}

InsertScanEvent InsertScanner::_PassStrayBlock(int64 start)
{
	int64 end = -1;
	if (fReader->SkipData() == SkipStatus::Ok)
		end = _Position();
	else
		end = _EndByTotal(start);
	if (end == start)
		return InsertScanEvent::Damaged;
	// Skipping seeks over the payload, which may lie beyond the end.
	if (end < 0 || !_Reaches(end))
		return InsertScanEvent::Truncated;
	(void)fSource->Seek(end, kArchiveSeekFromStart);
	return InsertScanEvent::StrayBlock;
}

// A block whose other lengths disagree still says where it ends, when that
// is a length a block may have: start itself when it does not.
int64 InsertScanner::_EndByTotal(int64 start)
{
	uint8 fixed[kDataBlockFixedSize];
	if (fSource->Seek(start, kArchiveSeekFromStart) != start
		|| fSource->ReadFully(fixed, kDataBlockFixedSize) != int64(kDataBlockFixedSize))
		return -1;
	uint32 total = ReadLE32(fixed + kDataBlockTotalOffset);
	if (total <= kDataBlockFixedSize
		|| total > RoundUpToAlignment(kDataBlockFixedSize + kDataBlockMaxPacked))
		return start;
	return start + int64(total);
}

// #pragma mark - positions

int64 InsertScanner::_Peek(uint8* head, int64 start)
{
	int64 got = fSource->ReadFully(head, kRecordHeadSize);
	if (fSource->Seek(start, kArchiveSeekFromStart) != start)
		return B_ERROR;
	return got > 0 ? got : 0;
}

int64 InsertScanner::_Position()
{
	return fSource->Seek(0, kArchiveSeekFromCurrent);
}

bool InsertScanner::_Reaches(int64 end)
{
	uint8 byte;
	return end > 0 && fSource->Seek(end - 1, kArchiveSeekFromStart) == end - 1
		&& fSource->Read(&byte, 1) == 1;
}

bool InsertScanner::_AtEnd()
{
	uint8 byte;
	if (fSource->Read(&byte, 1) != 1)
		return true;
	(void)fSource->Seek(-1, kArchiveSeekFromCurrent);
	return false;
}
