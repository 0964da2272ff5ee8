#include "ArchiveWriter.h"

#include <app/Message.h>

#include "ArchiveCrypt.h"
#include "FileHeader.h"
#include "MVCruncher.h"

ArchiveWriter::ArchiveWriter(ArchiveSink* sink, MVCruncher* cruncher, const char* password)
	:
	fSink(sink),
	fCruncher(cruncher),
	fPassword(password != nullptr ? password : ""),
	fScrambled(kDataBlockMaxRaw),
	fCurrent(kDataBlockMaxRaw),
	fFollowing(kDataBlockMaxRaw),
	// Room for the header, a compressor's one extra byte and the padding.
	fRecord(kDataBlockFixedSize + kDataBlockMaxPacked + kArchiveAlignment)
{
}

status_t ArchiveWriter::_Write(const void* buffer, uint32 length)
{
	int64 written = fSink->Write(buffer, length);
	if (written > 0)
		fPosition += written;
	if (written == int64(length))
		return B_OK;
	return written < 0 ? status_t(written) : B_IO_ERROR;
}

status_t ArchiveWriter::WriteBackupHeader(const BackupHeader& header)
{
	uint8 buffer[kBackupHeaderSize];
	header.Encode(buffer);
	fPosition = 0;
	return _Write(buffer, kBackupHeaderSize);
}

status_t ArchiveWriter::WriteFileHeader(const FileHeader& header)
{
	return _Write(header.Data(), header.Length());
}

status_t ArchiveWriter::_WriteBlock(const uint8* payload, uint32 packed, uint32 blockNumber,
	bool last)
{
	uint8* record = fRecord.data();
	if (payload != record + kDataBlockFixedSize)
		memcpy(record + kDataBlockFixedSize, payload, packed);
	return _Write(record, EncodeDataBlock(record, packed, blockNumber, last));
}

status_t ArchiveWriter::WriteDataBlock(const uint8* raw, uint32 length, uint32 blockNumber,
	bool last)
{
	if (length > kDataBlockMaxRaw)
		return B_BAD_VALUE;
	memcpy(fScrambled.data(), raw, length);
	Crypt(fScrambled.data(), length, fPassword.c_str());
	uint8* payload = fRecord.data() + kDataBlockFixedSize;
	uint32 packed = length;
	if (fCruncher != nullptr)
		packed = fCruncher->Compress(fScrambled.data(), payload, length);
	else
		memcpy(payload, fScrambled.data(), length);
	if (packed > kDataBlockMaxPacked)
		return B_BAD_DATA;
	return _WriteBlock(payload, packed, blockNumber, last);
}

status_t ArchiveWriter::WriteFileData(BDataIO* file, int64 size, int64* written)
{
	*written = 0;
	// Two buffers: the block in hand is the last one when nothing follows it,
	// which also holds when the size is a whole multiple of a block.
	std::vector<uint8>& current = fCurrent;
	std::vector<uint8>& following = fFollowing;
	auto readBlock = [&](std::vector<uint8>& into, int64 remaining) -> ssize_t {
		size_t want = remaining < kDataBlockMaxRaw ? size_t(remaining) : kDataBlockMaxRaw;
		size_t done = 0;
		while (done < want) {
			ssize_t read = file->Read(into.data() + done, want - done);
			if (read < 0)
				return done > 0 ? ssize_t(done) : read;
			if (read == 0)
				break;
			done += size_t(read);
		}
		return ssize_t(done);
	};

	ssize_t length = readBlock(current, size);
	if (length < 0)
		return status_t(length);
	uint32 blockNumber = 1;
	while (length > 0) {
		ssize_t nextLength = readBlock(following, size - *written - length);
		if (nextLength < 0)
			nextLength = 0;
		status_t status = WriteDataBlock(current.data(), uint32(length), blockNumber++,
			nextLength == 0);
		if (status != B_OK)
			return status;
		*written += length;
		current.swap(following);
		length = nextLength;
	}
	return B_OK;
}

status_t ArchiveWriter::WriteSymLink(const char* target)
{
	uint32 length = uint32(strnlen(target, kSymLinkMaxTarget));
	uint8* payload = fRecord.data() + kDataBlockFixedSize;
	memcpy(payload, target, length);
	payload[length] = 0;
	return _WriteBlock(payload, length + 1, 1, true);
}

status_t ArchiveWriter::WriteEndOfMedium()
{
	uint8 record[kEndOfMediumSize] = {};
	WriteLE32(record, kEndOfMediumMagic);
	WriteLE16(record + 4, kEndOfMediumSize);
	return _Write(record, kEndOfMediumSize);
}

status_t ArchiveWriter::WriteCatalogue(const BMessage& catalogue)
{
	std::vector<char> flattened;
	status_t status = catalogue.Flatten(&flattened);
	if (status != B_OK)
		return status;
	uint8 record[kCatalogueRecordSize] = {};
	WriteLE32(record, kCatalogueMagic);
	WriteLE16(record + 4, kCatalogueRecordSize);
	status = _Write(record, kCatalogueRecordSize);
	if (status != B_OK)
		return status;
	return _Write(flattened.data(), uint32(flattened.size()));
}
