#include "ArchiveReader.h"

#include <algorithm>

#include "ArchiveCrypt.h"
#include "MVCruncher.h"

namespace {

// The largest data block record: a full payload and its padding.
constexpr uint32 kDataBlockMaxTotal = RoundUpToAlignment(kDataBlockFixedSize + kDataBlockMaxPacked);
// A link block holds at most the target and its NUL.
constexpr uint32 kSymLinkMaxTotal = RoundUpToAlignment(kDataBlockFixedSize + kSymLinkMaxTarget + 1);
// The smallest fixed part a file header may declare: the fields up to the
// kind, in either layout.
constexpr uint32 kFileHeaderMinFixed = 16;
// File headers longer than this are read and stored piece by piece.
constexpr uint32 kFileHeaderReadPiece = 1 << 20;
// The flattened message header: its total size is at offset 16.
constexpr uint32 kMessageHeaderSize = 24;
constexpr uint32 kMessageSizeOffset = 16;
// Catalogue bytes are taken in pieces, so that a damaged size field costs
// no more memory than the bytes that really arrive.
constexpr uint32 kCatalogueChunk = 1 << 20;

// Serves a record head already read, then the source: lets the backup
// header reader run on a record found by NextRecord().
class HeadThenSource : public ArchiveSource {
public:
	HeadThenSource(const uint8* head, ArchiveSource* source) : fHead(head), fSource(source) {}

	int64 Read(void* buffer, int64 length) override
	{
		if (fServed < kRecordHeadSize) {
			int64 count = std::min<int64>(length, kRecordHeadSize - fServed);
			memcpy(buffer, fHead + fServed, size_t(count));
			fServed += uint32(count);
			return count;
		}
		return fSource->Read(buffer, length);
	}

	int64 Seek(int64 offset, int32 origin) override { return fSource->Seek(offset, origin); }

private:
	const uint8* fHead;
	ArchiveSource* fSource;
	uint32 fServed = 0;
};

void ConvertOldFileHeader(uint8* buffer)
{
	uint8 old[kOldFileHeaderFixedSize];
	memcpy(old, buffer, sizeof(old));
	uint16 attributes = ReadLE16(old + 48);
	uint16 data = ReadLE16(old + 50);
	WriteLE16(buffer + 4, uint16(ReadLE16(old + 4) + 16));
	WriteLE32(buffer + kFileHeaderTotalOffset, uint32(ReadLE16(old + 12)) + 16);
	WriteLE16(buffer + kFileHeaderKindOffset, ReadLE16(old + 14));
	WriteLE16(buffer + 14, 0);
	WriteLE64(buffer + kFileHeaderAttributesOffset, attributes != 0 ? attributes + 16u : 0);
	WriteLE64(buffer + kFileHeaderDataOffset, data != 0 ? data + 16u : 0);
	WriteLE64(buffer + kFileHeaderEntryNumberOffset, ReadLE16(old + 52));
	WriteLE32(buffer + kFileHeaderLevelOffset, ReadLE32(old + 56));
}

void AddToOffset(uint8* field, uint32 difference)
{
	uint64 value = ReadLE64(field);
	if (value != 0)
		WriteLE64(field, value + difference);
}

}

ArchiveReader::ArchiveReader(ArchiveSource* source, MVCruncher* cruncher, uint16 version)
	:
	fSource(source),
	fCruncher(cruncher),
	fVersion(version),
	fPayload(kDataBlockMaxTotal),
	fOutput(kCruncherDestinationSize)
{
}

BackupHeaderStatus ArchiveReader::ReadBackupHeader(BackupHeader* header)
{
	uint8 buffer[kBackupHeaderSize];
	uint32 bytesRead;
	BackupHeaderStatus status = ReadBackupHeaderData(fSource, buffer, &bytesRead);
	if (status != BackupHeaderStatus::Ok)
		return status;
	*header = BackupHeader::Decode(buffer);
	fPassword = header->password;
	fVersion = header->version;
	return status;
}

BackupHeaderStatus ArchiveReader::_BackupHeaderAfterHead(const uint8* head,
	BackupHeader* header)
{
	HeadThenSource source(head, fSource);
	uint8 buffer[kBackupHeaderSize];
	uint32 bytesRead;
	BackupHeaderStatus status = ReadBackupHeaderData(&source, buffer, &bytesRead);
	if (status != BackupHeaderStatus::Ok)
		return status;
	*header = BackupHeader::Decode(buffer);
	fPassword = header->password;
	fVersion = header->version;
	return status;
}

FileHeaderStatus ArchiveReader::ReadFileHeaderData(FileHeader* header)
{
	uint8 head[kRecordHeadSize];
	if (fSource->ReadFully(head, kRecordHeadSize) != kRecordHeadSize)
		return FileHeaderStatus::ShortRead;
	if (ReadLE32(head) != kFileHeaderMagic)
		return FileHeaderStatus::WrongMagic;
	return _FileHeaderAfterHead(head, header);
}

FileHeaderStatus ArchiveReader::_FileHeaderAfterHead(const uint8* head, FileHeader* header)
{
	uint8* buffer = header->Buffer();
	memset(buffer, 0, header->BufferSize());
	memcpy(buffer, head, kRecordHeadSize);

	bool oldLayout = fVersion < kArchiveVersion;
	uint32 fixed = ReadLE16(buffer + 4);
	uint32 maxFixed = oldLayout ? kOldFileHeaderFixedSize : kFileHeaderFixedSize;
	if (fixed < kFileHeaderMinFixed || fixed > maxFixed)
		return FileHeaderStatus::ShortRead;
	uint32 rest = fixed - kRecordHeadSize;
	if (fSource->ReadFully(buffer + kRecordHeadSize, rest) != int64(rest))
		return FileHeaderStatus::ShortRead;

	if (oldLayout)
		ConvertOldFileHeader(buffer);
	// The entry number and the level came with 0x81 and 0x82; older
	// records hold nothing meaningful there.
	if (fVersion < 0x81)
		WriteLE64(buffer + kFileHeaderEntryNumberOffset, 0);
	if (fVersion < 0x82)
		WriteLE32(buffer + kFileHeaderLevelOffset, 0);

	fixed = ReadLE16(buffer + 4);
	if (fixed < kFileHeaderFixedSize) {
		uint32 difference = kFileHeaderFixedSize - fixed;
		AddToOffset(buffer + kFileHeaderAttributesOffset, difference);
		AddToOffset(buffer + kFileHeaderDataOffset, difference);
		WriteLE32(buffer + kFileHeaderTotalOffset,
			ReadLE32(buffer + kFileHeaderTotalOffset) + difference);
		WriteLE16(buffer + 4, kFileHeaderFixedSize);
	}

	uint32 total = ReadLE32(buffer + kFileHeaderTotalOffset);
	if (total <= kFileHeaderFixedSize || total > kFileHeaderMaxLength)
		return FileHeaderStatus::ShortRead;
	// The buffer grows with the bytes that really arrive, so that a damaged
	// length costs no more memory than the stream holds.
	uint32 have = kFileHeaderFixedSize;
	while (have < total) {
		uint32 piece = std::min(total - have, kFileHeaderReadPiece);
		if (header->Reserve(have + piece, have) != B_OK)
			return FileHeaderStatus::ShortRead;
		if (fSource->ReadFully(header->Buffer() + have, piece) != int64(piece))
			return FileHeaderStatus::ShortRead;
		have += piece;
	}
	if (header->Validate(fVersion) != B_OK)
		return FileHeaderStatus::ShortRead;
	return FileHeaderStatus::Ok;
}

bool ArchiveReader::_DataBlockFields(const uint8* head, uint8* fixed, uint32* total)
{
	memcpy(fixed, head, kRecordHeadSize);
	if (ReadLE16(fixed + 4) != kDataBlockFixedSize)
		return false;
	uint32 rest = kDataBlockFixedSize - kRecordHeadSize;
	if (fSource->ReadFully(fixed + kRecordHeadSize, rest) != int64(rest))
		return false;
	*total = ReadLE32(fixed + kDataBlockTotalOffset);
	uint32 packed = ReadLE32(fixed + kDataBlockPackedOffset);
	return *total >= kDataBlockFixedSize && *total <= kDataBlockMaxTotal
		&& packed <= *total - kDataBlockFixedSize;
}

DataBlockStatus ArchiveReader::ReadDataBlock(DataBlock* block)
{
	uint8 head[kRecordHeadSize];
	int64 read = fSource->ReadFully(head, kRecordHeadSize);
	if (read <= 0)
		return DataBlockStatus::EndOfMedium;
	if (read != kRecordHeadSize)
		return DataBlockStatus::HeaderShort;
	if (ReadLE32(head) != kDataBlockMagic)
		return DataBlockStatus::WrongMagic;
	return _DataBlockAfterHead(head, block, false);
}

DataBlockStatus ArchiveReader::_DataBlockAfterHead(const uint8* head, DataBlock* block,
	bool stored)
{
	uint8 fixed[kDataBlockFixedSize];
	uint32 total;
	if (!_DataBlockFields(head, fixed, &total))
		return DataBlockStatus::HeaderShort;
	block->number = ReadLE32(fixed + kDataBlockNumberOffset);
	block->next = ReadLE32(fixed + kDataBlockNextOffset);
	block->data = nullptr;
	block->length = 0;

	uint32 recordRest = total - kDataBlockFixedSize;
	if (fSource->ReadFully(fPayload.data(), recordRest) != int64(recordRest))
		return DataBlockStatus::DataShort;
	uint32 packed = ReadLE32(fixed + kDataBlockPackedOffset);
	uint32 length = packed;
	if (fCruncher != nullptr && !stored)
		length = fCruncher->Decompress(fPayload.data(), fOutput.data(), packed);
	else
		memcpy(fOutput.data(), fPayload.data(), packed);
	if (length == kCruncherBadData || length > fOutput.size())
		return DataBlockStatus::Corrupt;
	if (!stored)
		Crypt(fOutput.data(), length, fPassword.c_str());
	block->data = fOutput.data();
	block->length = length;
	return DataBlockStatus::Ok;
}

SymLinkStatus ArchiveReader::ReadSymLink2(std::string* target)
{
	uint8 head[kRecordHeadSize];
	if (fSource->ReadFully(head, kRecordHeadSize) != kRecordHeadSize)
		return SymLinkStatus::HeaderShort;
	if (ReadLE32(head) != kDataBlockMagic)
		return SymLinkStatus::WrongMagic;
	uint8 fixed[kDataBlockFixedSize];
	uint32 total;
	if (!_DataBlockFields(head, fixed, &total))
		return SymLinkStatus::HeaderShort;
	uint32 packed = ReadLE32(fixed + kDataBlockPackedOffset);
	if (total > kSymLinkMaxTotal || packed == 0)
		return SymLinkStatus::TargetShort;
	uint32 stored = total - kDataBlockFixedSize;
	if (fSource->ReadFully(fPayload.data(), stored) != int64(stored))
		return SymLinkStatus::TargetShort;
	const char* text = reinterpret_cast<const char*>(fPayload.data());
	target->assign(text, strnlen(text, packed));
	return SymLinkStatus::Ok;
}

SkipStatus ArchiveReader::SkipData(uint32* next)
{
	uint8 head[kRecordHeadSize];
	if (fSource->ReadFully(head, kRecordHeadSize) != kRecordHeadSize)
		return SkipStatus::ShortRead;
	if (ReadLE32(head) != kDataBlockMagic)
		return SkipStatus::WrongMagic;
	uint8 fixed[kDataBlockFixedSize];
	uint32 total;
	if (!_DataBlockFields(head, fixed, &total))
		return SkipStatus::ShortRead;
	if (fSource->Seek(total - kDataBlockFixedSize, kArchiveSeekFromCurrent) < 0)
		return SkipStatus::ShortRead;
	if (next != nullptr)
		*next = ReadLE32(fixed + kDataBlockNextOffset);
	return SkipStatus::Ok;
}

status_t ArchiveReader::ReadCatalogueRecord(BMessage* catalogue)
{
	uint8 head[kRecordHeadSize];
	if (fSource->ReadFully(head, kRecordHeadSize) != kRecordHeadSize)
		return B_BAD_DATA;
	if (ReadLE32(head) != kCatalogueMagic)
		return B_BAD_VALUE;
	return _CatalogueAfterHead(head, catalogue);
}

status_t ArchiveReader::_CatalogueAfterHead(const uint8* head, BMessage* catalogue)
{
	uint8 reserved[kCatalogueRecordSize - kRecordHeadSize];
	if (ReadLE16(head + 4) != kCatalogueRecordSize
		|| fSource->ReadFully(reserved, sizeof(reserved)) != int64(sizeof(reserved)))
		return B_BAD_DATA;

	std::vector<char> flattened(kMessageHeaderSize);
	if (fSource->ReadFully(flattened.data(), kMessageHeaderSize) != kMessageHeaderSize)
		return B_BAD_DATA;
	uint64 size = ReadLE64(reinterpret_cast<const uint8*>(flattened.data()) + kMessageSizeOffset);
	if (size < kMessageHeaderSize || size > B_MESSAGE_MAX_FLATTENED_SIZE)
		return B_BAD_DATA;
	while (flattened.size() < size) {
		size_t have = flattened.size();
		size_t piece = std::min<uint64>(size - have, kCatalogueChunk);
		flattened.resize(have + piece);
		if (fSource->ReadFully(flattened.data() + have, int64(piece)) != int64(piece))
			return B_BAD_DATA;
	}
	status_t status = catalogue->Unflatten(flattened.data(), flattened.size());
	return status == B_OK ? B_OK : B_BAD_DATA;
}

status_t ArchiveReader::_EndOfMediumAfterHead(const uint8* head)
{
	uint8 reserved[kEndOfMediumSize - kRecordHeadSize];
	if (ReadLE16(head + 4) != kEndOfMediumSize
		|| fSource->ReadFully(reserved, sizeof(reserved)) != int64(sizeof(reserved)))
		return B_BAD_DATA;
	return B_OK;
}

status_t ArchiveReader::NextRecord(ArchiveRecordKind* kind)
{
	uint8 head[kRecordHeadSize];
	int64 read = fSource->ReadFully(head, kRecordHeadSize);
	if (read <= 0)
		return B_ENTRY_NOT_FOUND;
	if (read != kRecordHeadSize)
		return B_BAD_DATA;

	switch (ReadLE32(head)) {
		case kBackupHeaderMagic:
			*kind = ArchiveRecordKind::BackupHeader;
			return _BackupHeaderAfterHead(head, &fBackupHeader) == BackupHeaderStatus::Ok
				? B_OK : B_BAD_DATA;
		case kFileHeaderMagic: {
			*kind = ArchiveRecordKind::FileHeader;
			bool read = _FileHeaderAfterHead(head, &fHeader) == FileHeaderStatus::Ok;
			fLastKind = read ? fHeader.Kind() : EntryKind::File;
			return read ? B_OK : B_BAD_DATA;
		}
		case kDataBlockMagic:
			// A link's block holds its target as it is.
			*kind = ArchiveRecordKind::DataBlock;
			return _DataBlockAfterHead(head, &fBlock, fLastKind == EntryKind::SymLink)
				== DataBlockStatus::Ok ? B_OK : B_BAD_DATA;
		case kEndOfMediumMagic:
			*kind = ArchiveRecordKind::EndOfMedium;
			return _EndOfMediumAfterHead(head);
		case kCatalogueMagic:
			*kind = ArchiveRecordKind::Catalogue;
			return _CatalogueAfterHead(head, &fCatalogue);
		default:
			return B_BAD_DATA;
	}
}
