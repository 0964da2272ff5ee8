#include "VirtualTape.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <support/Errors.h>

namespace MorvaneKit {

namespace {

constexpr char kMagic[8] = {'M', 'V', 'V', 'T', 'A', 'P', 'E', '1'};
constexpr uint32 kFilemarkBit = 0x80000000u;
constexpr uint32 kWriteProtectedFlag = 1;

void Put64(uint8* at, uint64 value)
{
	for (int i = 0; i < 8; i++)
		at[i] = uint8(value >> (8 * i));
}

uint64 Get64(const uint8* at)
{
	uint64 value = 0;
	for (int i = 7; i >= 0; i--)
		value = (value << 8) | at[i];
	return value;
}

void Put32(uint8* at, uint32 value)
{
	for (int i = 0; i < 4; i++)
		at[i] = uint8(value >> (8 * i));
}

uint32 Get32(const uint8* at)
{
	return uint32(at[0]) | uint32(at[1]) << 8 | uint32(at[2]) << 16 | uint32(at[3]) << 24;
}

bool ReadAll(int fd, uint64 offset, void* buffer, size_t size)
{
	return pread(fd, buffer, size, off_t(offset)) == ssize_t(size);
}

bool WriteAll(int fd, uint64 offset, const void* buffer, size_t size)
{
	return pwrite(fd, buffer, size, off_t(offset)) == ssize_t(size);
}

void EncodeHeader(const VirtualTape::Header& header, uint8* bytes)
{
	memset(bytes, 0, VirtualTape::kFirstRecord);
	memcpy(bytes, kMagic, sizeof(kMagic));
	Put64(bytes + 8, header.capacity);
	Put64(bytes + 16, header.earlyWarning);
	Put32(bytes + 24, header.writeProtected ? kWriteProtectedFlag : 0);
	Put64(bytes + 32, header.badAt);
}

// The data length of a framing word, and whether it is a filemark; false
// for a word no record has.
bool DecodeWord(uint32 word, bool* filemark, uint32* length)
{
	*filemark = (word & kFilemarkBit) != 0;
	*length = word & ~kFilemarkBit;
	if (*filemark)
		return *length == 0;
	return *length > 0 && *length <= VirtualTape::kMaxBlock;
}

}	// namespace

VirtualTape::~VirtualTape()
{
	Close();
}

status_t VirtualTape::Create(const std::string& path, const Header& header)
{
	int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
	if (fd < 0)
		return errno == EEXIST ? B_FILE_EXISTS : StatusFromErrno();
	uint8 bytes[kFirstRecord];
	EncodeHeader(header, bytes);
	bool written = WriteAll(fd, 0, bytes, sizeof(bytes));
	close(fd);
	if (!written) {
		unlink(path.c_str());
		return B_IO_ERROR;
	}
	return B_OK;
}

status_t VirtualTape::Open(const std::string& path)
{
	Close();
	fFd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
	if (fFd < 0)
		return StatusFromErrno();
	struct stat status;
	if (fstat(fFd, &status) != 0 || !S_ISREG(status.st_mode)) {
		Close();
		return B_BAD_DATA;
	}
	fPath = path;
	fDevice = status.st_dev;
	fNode = status.st_ino;
	return _ReadHeader(status.st_size);
}

status_t VirtualTape::Reopen(const std::string& path)
{
	status_t flushed = FlushPending();
	if (flushed != B_OK)
		return flushed;
	struct stat status;
	if (fFd < 0 || path != fPath || stat(path.c_str(), &status) != 0
		|| status.st_dev != fDevice || status.st_ino != fNode)
		return Open(path);
	return _ReadHeader(status.st_size);
}

status_t VirtualTape::_ReadHeader(off_t size)
{
	uint8 bytes[kFirstRecord];
	if (!ReadAll(fFd, 0, bytes, sizeof(bytes)) || memcmp(bytes, kMagic, sizeof(kMagic)) != 0) {
		Close();
		return B_BAD_DATA;
	}
	fHeader.capacity = Get64(bytes + 8);
	fHeader.earlyWarning = Get64(bytes + 16);
	fHeader.writeProtected = (Get32(bytes + 24) & kWriteProtectedFlag) != 0;
	fHeader.badAt = Get64(bytes + 32);
	fEnd = std::max<uint64>(uint64(size), kFirstRecord);
	return B_OK;
}

void VirtualTape::Close()
{
	(void)FlushPending();
	if (fFd >= 0)
		close(fFd);
	fFd = -1;
	fPath.clear();
}

status_t VirtualTape::SetWriteProtected(bool writeProtected)
{
	fHeader.writeProtected = writeProtected;
	uint8 bytes[kFirstRecord];
	EncodeHeader(fHeader, bytes);
	return WriteAll(fFd, 0, bytes, sizeof(bytes)) ? B_OK : B_IO_ERROR;
}

bool VirtualTape::InEarlyWarning(uint64 offset) const
{
	uint64 warning = fHeader.capacity > fHeader.earlyWarning
		? fHeader.capacity - fHeader.earlyWarning : 0;
	return Used(offset) >= warning;
}

VirtualTape::Record VirtualTape::RecordAt(uint64 offset, uint32* length)
{
	*length = 0;
	(void)FlushPending();
	if (offset >= fEnd)
		return Record::EndOfData;
	uint8 word[4];
	bool filemark;
	if (offset + kFraming > fEnd || !ReadAll(fFd, offset, word, 4)
		|| !DecodeWord(Get32(word), &filemark, length) || offset + kFraming + *length > fEnd)
		return Record::Damaged;
	uint8 trailer[4];
	if (!ReadAll(fFd, offset + 4 + *length, trailer, 4) || Get32(trailer) != Get32(word))
		return Record::Damaged;
	return filemark ? Record::Filemark : Record::Data;
}

VirtualTape::Record VirtualTape::RecordBefore(uint64 offset, uint32* length, uint64* start)
{
	*length = 0;
	(void)FlushPending();
	if (offset < kFirstRecord + kFraming || offset > fEnd)
		return Record::Damaged;
	uint8 word[4];
	bool filemark;
	if (!ReadAll(fFd, offset - 4, word, 4) || !DecodeWord(Get32(word), &filemark, length)
		|| offset - kFirstRecord < kFraming + *length)
		return Record::Damaged;
	*start = offset - kFraming - *length;
	uint32 again;
	Record record = RecordAt(*start, &again);
	return again == *length ? record : Record::Damaged;
}

bool VirtualTape::_CrossesBadPlace(uint64 start, uint64 end) const
{
	return fHeader.badAt != 0 && start <= fHeader.badAt && fHeader.badAt < end;
}

status_t VirtualTape::ReadData(uint64 offset, uint32 length, void* buffer, uint32 size)
{
	if (FlushPending() != B_OK)
		return B_IO_ERROR;
	if (_CrossesBadPlace(offset, offset + kFraming + length))
		return B_IO_ERROR;
	uint32 take = std::min(length, size);
	return take == 0 || ReadAll(fFd, offset + 4, buffer, take) ? B_OK : B_IO_ERROR;
}

status_t VirtualTape::Write(uint64 offset, bool filemark, const void* data, uint32 length,
	uint64* next)
{
	if (filemark)
		length = 0;
	if (offset < kFirstRecord || offset > fEnd || (!filemark && (length == 0
			|| length > kMaxBlock)))
		return B_BAD_VALUE;
	uint64 end = offset + kFraming + length;
	if (Used(end) > fHeader.capacity)
		return B_DEVICE_FULL;
	if (_CrossesBadPlace(offset, end))
		return B_IO_ERROR;
	uint8 word[4];
	Put32(word, filemark ? kFilemarkBit : length);
	size_t total = kFraming + length;
	if (offset == fEnd && fPending.size() + total > kPendingLimit) {
		status_t flushed = FlushPending();
		if (flushed != B_OK)
			return flushed;
	}
	if (offset == fEnd && total <= kPendingLimit) {
		if (fPending.capacity() < kPendingLimit)
			fPending.reserve(kPendingLimit);
		const uint8* bytes = static_cast<const uint8*>(data);
		fPending.insert(fPending.end(), word, word + 4);
		fPending.insert(fPending.end(), bytes, bytes + length);
		fPending.insert(fPending.end(), word, word + 4);
		fPendingRecords++;
		fEnd = end;
		*next = end;
		return B_OK;
	}
	status_t flushed = FlushPending();
	if (flushed != B_OK)
		return flushed;
	// Writing ends the tape here: what followed goes first. The record
	// goes out in one call.
	iovec parts[3] = {{word, 4}, {const_cast<void*>(data), length}, {word, 4}};
	if ((offset < fEnd && ftruncate(fFd, off_t(offset)) != 0)
		|| pwritev(fFd, parts, 3, off_t(offset)) != ssize_t(total)) {
		fEnd = offset;
		(void)ftruncate(fFd, off_t(offset));
		return B_IO_ERROR;
	}
	fEnd = end;
	*next = end;
	return B_OK;
}

status_t VirtualTape::Flush()
{
	status_t status = FlushPending();
	if (status != B_OK)
		return status;
	return fdatasync(fFd) == 0 ? B_OK : StatusFromErrno();
}

status_t VirtualTape::FlushPending()
{
	if (fPending.empty())
		return B_OK;
	uint64 start = fEnd - fPending.size();
	bool written = WriteAll(fFd, start, fPending.data(), fPending.size());
	fPending.clear();
	fPendingRecords = 0;
	if (written)
		return B_OK;
	(void)ftruncate(fFd, off_t(start));
	fEnd = start;
	return B_IO_ERROR;
}

status_t VirtualTape::Truncate(uint64 offset)
{
	status_t status = FlushPending();
	if (status != B_OK)
		return status;
	if (offset < kFirstRecord || offset > fEnd)
		return B_BAD_VALUE;
	if (ftruncate(fFd, off_t(offset)) != 0)
		return StatusFromErrno();
	fEnd = offset;
	return B_OK;
}

}	// namespace MorvaneKit
