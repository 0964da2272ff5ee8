#include "BackupHeader.h"

#include <cstdio>

#include "ArchiveStream.h"

namespace {

void PutText(uint8* field, size_t fieldSize, const std::string& text)
{
	size_t length = text.size() < fieldSize ? text.size() : fieldSize;
	memcpy(field, text.data(), length);
}

std::string GetText(const uint8* field, size_t fieldSize)
{
	size_t length = strnlen(reinterpret_cast<const char*>(field), fieldSize);
	return std::string(reinterpret_cast<const char*>(field), length);
}

void ConvertOlderVersion(uint8* buffer)
{
	uint16 version = ReadLE16(buffer + 6);
	if (version <= 0x80)
		WriteLE16(buffer + kBackupHeaderRemovableOffset, 0);
	if (version <= 0x81) {
		WriteLE32(buffer + 196, 0);
		WriteLE32(buffer + 200, 0);
		WriteLE32(buffer + 204, 0);
	}
	if (version <= 0x82) {
		WriteLE32(buffer + kBackupHeaderJobIdOffset, 0);
		WriteLE32(buffer + kBackupHeaderModeOffset, 1);
		WriteLE32(buffer + kBackupHeaderBaseIdOffset, 0);
	}
}

}

void BackupHeader::Encode(uint8 buffer[kBackupHeaderSize]) const
{
	memset(buffer, 0, kBackupHeaderSize);
	WriteLE32(buffer, kBackupHeaderMagic);
	WriteLE16(buffer + 4, kBackupHeaderSize);
	WriteLE16(buffer + 6, version);
	PutText(buffer + kBackupHeaderIdOffset, kBackupHeaderIdSize, backupId);
	PutText(buffer + kBackupHeaderTitleOffset, kBackupHeaderTitleSize, title);
	WriteLE32(buffer + kBackupHeaderDateOffset, uint32(creationTime));
	WriteLE32(buffer + kBackupHeaderDestinationTypeOffset, uint32(destinationType));
	PutText(buffer + kBackupHeaderCompressorOffset, kBackupHeaderCompressorSize, compressor);
	PutText(buffer + kBackupHeaderPasswordOffset, kBackupHeaderPasswordSize, password);
	WriteLE16(buffer + kBackupHeaderAlignmentOffset, alignment);
	WriteLE16(buffer + kBackupHeaderMediumOffset, mediumNumber);
	WriteLE16(buffer + kBackupHeaderRemovableOffset, uint16(removable));
	WriteLE64(buffer + kBackupHeaderTotalSizeOffset, uint64(totalSize));
	WriteLE32(buffer + kBackupHeaderEntryCountOffset, uint32(entryCount));
	WriteLE32(buffer + kBackupHeaderJobIdOffset, uint32(jobId));
	WriteLE32(buffer + kBackupHeaderModeOffset, uint32(mode));
	WriteLE32(buffer + kBackupHeaderBaseIdOffset, uint32(baseId));
}

BackupHeader BackupHeader::Decode(const uint8 buffer[kBackupHeaderSize])
{
	BackupHeader header;
	header.version = ReadLE16(buffer + 6);
	header.backupId = GetText(buffer + kBackupHeaderIdOffset, kBackupHeaderIdSize);
	header.title = GetText(buffer + kBackupHeaderTitleOffset, kBackupHeaderTitleSize);
	header.creationTime = int32(ReadLE32(buffer + kBackupHeaderDateOffset));
	header.destinationType = int32(ReadLE32(buffer + kBackupHeaderDestinationTypeOffset));
	header.compressor = GetText(buffer + kBackupHeaderCompressorOffset,
		kBackupHeaderCompressorSize);
	header.password = GetText(buffer + kBackupHeaderPasswordOffset, kBackupHeaderPasswordSize);
	header.alignment = ReadLE16(buffer + kBackupHeaderAlignmentOffset);
	header.mediumNumber = ReadLE16(buffer + kBackupHeaderMediumOffset);
	header.removable = int16(ReadLE16(buffer + kBackupHeaderRemovableOffset));
	header.totalSize = int64(ReadLE64(buffer + kBackupHeaderTotalSizeOffset));
	header.entryCount = int32(ReadLE32(buffer + kBackupHeaderEntryCountOffset));
	header.jobId = int32(ReadLE32(buffer + kBackupHeaderJobIdOffset));
	header.mode = int32(ReadLE32(buffer + kBackupHeaderModeOffset));
	header.baseId = int32(ReadLE32(buffer + kBackupHeaderBaseIdOffset));
	return header;
}

BackupHeaderStatus ReadBackupHeaderData(ArchiveSource* source,
	uint8 buffer[kBackupHeaderSize], uint32* bytesRead)
{
	memset(buffer, 0, kBackupHeaderSize);
	*bytesRead = 0;
	if (source->ReadFully(buffer, kRecordHeadSize) != kRecordHeadSize)
		return BackupHeaderStatus::ShortRead;
	if (ReadLE32(buffer) != kBackupHeaderMagic)
		return BackupHeaderStatus::WrongMagic;

	// Without its version a header cannot be converted or trusted.
	uint32 length = ReadLE16(buffer + 4);
	if (length < kRecordHeadSize + 2)
		return BackupHeaderStatus::ShortRead;
	uint32 rest = (length > kBackupHeaderSize ? kBackupHeaderSize : length) - kRecordHeadSize;
	if (source->ReadFully(buffer + kRecordHeadSize, rest) != int64(rest))
		return BackupHeaderStatus::ShortRead;

	ConvertOlderVersion(buffer);
	*bytesRead = kRecordHeadSize + rest;
	return BackupHeaderStatus::Ok;
}

BackupHeaderStatus ReadBackupHeader(ArchiveSource* source, BackupHeader* header)
{
	uint8 buffer[kBackupHeaderSize];
	uint32 bytesRead = 0;
	BackupHeaderStatus status = ReadBackupHeaderData(source, buffer, &bytesRead);
	if (status == BackupHeaderStatus::Ok)
		*header = BackupHeader::Decode(buffer);
	return status;
}

std::string MakeBackupId(int year, int month, int day, int32 random)
{
	char id[64];
	snprintf(id, sizeof(id), "%4d%02d%02d%08d", year, month, day, random < 0 ? 0 : int(random));
	return id;
}
