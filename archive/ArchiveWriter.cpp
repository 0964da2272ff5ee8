#include "ArchiveWriter.h"

#include <new>

#include <app/Message.h>

#include "ArchiveCrypt.h"
#include "FileHeader.h"
#include "MVCruncher.h"

ArchiveWriter::ArchiveWriter(ArchiveSink* sink, MVCruncher* cruncher, const char* password)
	:
	fSink(sink),
	fCruncher(cruncher),
	fRecord(kRecordRoom)
{
	static_assert(kDataBlockMaxPacked >= kSymLinkMaxTarget + 1);
	SetPassword(password);
}

void ArchiveWriter::SetPassword(const char* password)
{
	fPassword = password != nullptr ? password : "";
}

status_t ArchiveWriter::_Write(const void* buffer, uint32 length)
{
	if (fSink == nullptr)
		return B_NO_INIT;
	int64 written = fSink->Write(buffer, length);
	if (written > 0)
		fPosition += written;
	if (written == int64(length))
		return B_OK;
	return written < 0 ? status_t(written) : B_IO_ERROR;
}

// #pragma mark - edges of a medium

status_t ArchiveWriter::WriteBackupHeader(const BackupHeader& header)
{
	uint8 buffer[kBackupHeaderSize];
	header.Encode(buffer);
	fPosition = 0;
	return _Write(buffer, kBackupHeaderSize);
}

status_t ArchiveWriter::WriteEndOfMedium()
{
	uint8 record[kEndOfMediumSize] = {};
	WriteLE32(record, kEndOfMediumMagic);
	WriteLE16(record + 4, kEndOfMediumSize);
	return _Write(record, kEndOfMediumSize);
}

// #pragma mark - pending records

void ArchiveWriter::_SetPending(const uint8* data, uint32 length)
{
	fPending = data;
	fPendingLength = length;
}

status_t ArchiveWriter::WritePending()
{
	const uint8* data = fPending;
	uint32 length = fPendingLength;
	_SetPending(nullptr, 0);
	if (data == nullptr)
		return B_OK;
	return _Write(data, length);
}

status_t ArchiveWriter::PrepareFileHeader(const FileHeader& header)
{
	_SetPending(header.Data(), header.Length());
	return B_OK;
}

status_t ArchiveWriter::_PrepareBlock(uint32 packed, uint32 blockNumber, bool last)
{
	uint8* record = fRecord.data();
	fLastPayload = packed;
	_SetPending(record, EncodeDataBlock(record, packed, blockNumber, last));
	return B_OK;
}

uint32 ArchiveWriter::PackDataBlock(MVCruncher* cruncher, const std::string& password,
	uint8* raw, uint32 length, uint32 blockNumber, bool last, uint8* record, uint32* packed)
{
	if (!password.empty())
		Crypt(raw, length, password.c_str());
	uint8* payload = record + kDataBlockFixedSize;
	*packed = length;
	if (cruncher != nullptr)
		*packed = cruncher->Compress(raw, payload, length);
	else
		memcpy(payload, raw, length);
	if (*packed > kDataBlockMaxPacked) {
		*packed = 0;
		return 0;
	}
	return EncodeDataBlock(record, *packed, blockNumber, last);
}

status_t ArchiveWriter::PrepareDataBlock(uint8* raw, uint32 length, uint32 blockNumber,
	bool last)
{
	_SetPending(nullptr, 0);
	if (length > kDataBlockMaxRaw)
		return B_BAD_VALUE;
	uint32 packed;
	uint32 recordLength = PackDataBlock(fCruncher, fPassword, raw, length, blockNumber, last,
		fRecord.data(), &packed);
	if (recordLength == 0)
		return B_BAD_DATA;
	PreparePackedBlock(fRecord.data(), recordLength, packed);
	return B_OK;
}

void ArchiveWriter::PreparePackedBlock(const uint8* record, uint32 length, uint32 packed)
{
	fLastPayload = packed;
	_SetPending(record, length);
}

status_t ArchiveWriter::PrepareSymLink(const char* target)
{
	_SetPending(nullptr, 0);
	size_t length = strnlen(target, kSymLinkMaxTarget + 1);
	if (length > kSymLinkMaxTarget)
		return B_NAME_TOO_LONG;
	uint8* payload = fRecord.data() + kDataBlockFixedSize;
	memcpy(payload, target, length);
	payload[length] = 0;
	return _PrepareBlock(uint32(length) + 1, 1, true);
}

status_t ArchiveWriter::PrepareCatalogue(const BMessage& catalogue)
{
	_SetPending(nullptr, 0);
	ssize_t size = catalogue.FlattenedSize();
	if (size <= 0)
		return B_NO_MEMORY;
	try {
		fCatalogueRecord.assign(kCatalogueRecordSize + size_t(size), 0);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	uint8* record = fCatalogueRecord.data();
	WriteLE32(record, kCatalogueMagic);
	WriteLE16(record + 4, kCatalogueRecordSize);
	status_t status = catalogue.Flatten(reinterpret_cast<char*>(record + kCatalogueRecordSize),
		size);
	if (status != B_OK)
		return status;
	_SetPending(record, uint32(fCatalogueRecord.size()));
	return B_OK;
}

void ArchiveWriter::ReleaseBuffers()
{
	if (fPending == fCatalogueRecord.data())
		_SetPending(nullptr, 0);
	std::vector<uint8>().swap(fCatalogueRecord);
	std::vector<uint8>().swap(fCurrent);
	std::vector<uint8>().swap(fFollowing);
}

// #pragma mark - in one call

status_t ArchiveWriter::WriteFileHeader(const FileHeader& header)
{
	status_t status = PrepareFileHeader(header);
	return status == B_OK ? WritePending() : status;
}

status_t ArchiveWriter::WriteDataBlock(uint8* raw, uint32 length, uint32 blockNumber, bool last)
{
	status_t status = PrepareDataBlock(raw, length, blockNumber, last);
	return status == B_OK ? WritePending() : status;
}

status_t ArchiveWriter::WriteSymLink(const char* target)
{
	status_t status = PrepareSymLink(target);
	return status == B_OK ? WritePending() : status;
}

status_t ArchiveWriter::WriteCatalogue(const BMessage& catalogue)
{
	status_t status = PrepareCatalogue(catalogue);
	return status == B_OK ? WritePending() : status;
}

status_t ArchiveWriter::WriteFileData(BDataIO* file, int64 size, int64* written)
{
	*written = 0;
	fCurrent.resize(kDataBlockMaxRaw);
	fFollowing.resize(kDataBlockMaxRaw);
	// Two buffers: the block in hand is the last one when nothing follows it,
	// which also holds when the size is a whole multiple of a block.
	auto readBlock = [file](std::vector<uint8>& into, int64 remaining) -> ssize_t {
		size_t want = remaining < kDataBlockMaxRaw ? size_t(remaining) : kDataBlockMaxRaw;
		return file->ReadFully(into.data(), want);
	};

	ssize_t length = readBlock(fCurrent, size);
	if (length < 0)
		return status_t(length);
	uint32 blockNumber = 1;
	while (length > 0) {
		ssize_t nextLength = readBlock(fFollowing, size - *written - length);
		if (nextLength < 0)
			nextLength = 0;
		status_t status = WriteDataBlock(fCurrent.data(), uint32(length), blockNumber++,
			nextLength == 0);
		if (status != B_OK)
			return status;
		*written += length;
		fCurrent.swap(fFollowing);
		length = nextLength;
	}
	return B_OK;
}
