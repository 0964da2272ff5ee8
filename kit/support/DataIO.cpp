#include <support/DataIO.h>

#include <cstring>
#include <limits>

status_t BDataIO::ReadExactly(void* buffer, size_t size)
{
	char* out = static_cast<char*>(buffer);
	while (size > 0) {
		ssize_t got = Read(out, size);
		if (got < 0)
			return status_t(got);
		if (got == 0)
			return B_PARTIAL_READ;
		out += got;
		size -= size_t(got);
	}
	return B_OK;
}

ssize_t BDataIO::ReadFully(void* buffer, size_t size)
{
	char* out = static_cast<char*>(buffer);
	size_t done = 0;
	while (done < size) {
		ssize_t got = Read(out + done, size - done);
		if (got < 0)
			return done > 0 ? ssize_t(done) : got;
		if (got == 0)
			break;
		done += size_t(got);
	}
	return ssize_t(done);
}

status_t BDataIO::WriteExactly(const void* buffer, size_t size)
{
	const char* in = static_cast<const char*>(buffer);
	while (size > 0) {
		ssize_t written = Write(in, size);
		if (written < 0)
			return status_t(written);
		if (written == 0)
			return B_PARTIAL_WRITE;
		in += written;
		size -= size_t(written);
	}
	return B_OK;
}

ssize_t BPositionIO::Read(void* buffer, size_t size)
{
	off_t position = Position();
	ssize_t got = ReadAt(position, buffer, size);
	if (got > 0)
		Seek(position + got, SEEK_SET);
	return got;
}

ssize_t BPositionIO::Write(const void* buffer, size_t size)
{
	off_t position = Position();
	ssize_t written = WriteAt(position, buffer, size);
	if (written > 0)
		Seek(position + written, SEEK_SET);
	return written;
}

namespace {

// The position a seek asks for, or -1 when it falls outside 0..max.
off_t SeekTarget(off_t position, uint32 seekMode, off_t current, off_t end)
{
	off_t base = seekMode == SEEK_SET ? 0 : seekMode == SEEK_CUR ? current : end;
	if (seekMode > SEEK_END)
		return -1;
	if ((position > 0 && base > std::numeric_limits<off_t>::max() - position)
		|| base + position < 0) {
		return -1;
	}
	return base + position;
}

}	// namespace

BMemoryIO::BMemoryIO(void* buffer, size_t size)
	:
	fBuffer(static_cast<char*>(buffer)),
	fLength(size),
	fCapacity(size),
	fReadOnly(false)
{
}

BMemoryIO::BMemoryIO(const void* buffer, size_t size)
	:
	fBuffer(const_cast<char*>(static_cast<const char*>(buffer))),
	fLength(size),
	fCapacity(size),
	fReadOnly(true)
{
}

ssize_t BMemoryIO::ReadAt(off_t position, void* buffer, size_t size)
{
	if (position < 0)
		return B_BAD_VALUE;
	if (size_t(position) >= fLength)
		return 0;
	size_t count = std::min(size, fLength - size_t(position));
	memcpy(buffer, fBuffer + position, count);
	return ssize_t(count);
}

ssize_t BMemoryIO::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (fReadOnly)
		return B_NOT_ALLOWED;
	if (position < 0)
		return B_BAD_VALUE;
	if (size_t(position) >= fCapacity)
		return size == 0 ? 0 : B_DEVICE_FULL;
	size_t count = std::min(size, fCapacity - size_t(position));
	memcpy(fBuffer + position, buffer, count);
	fLength = std::max(fLength, size_t(position) + count);
	return ssize_t(count);
}

off_t BMemoryIO::Seek(off_t position, uint32 seekMode)
{
	off_t target = SeekTarget(position, seekMode, fPosition, off_t(fLength));
	if (target < 0)
		return B_BAD_VALUE;
	fPosition = target;
	return fPosition;
}

status_t BMemoryIO::SetSize(off_t size)
{
	if (fReadOnly)
		return B_NOT_ALLOWED;
	if (size < 0 || size_t(size) > fCapacity)
		return B_BAD_VALUE;
	fLength = size_t(size);
	return B_OK;
}

status_t BMemoryIO::GetSize(off_t* size) const
{
	*size = off_t(fLength);
	return B_OK;
}

ssize_t BMallocIO::ReadAt(off_t position, void* buffer, size_t size)
{
	if (position < 0)
		return B_BAD_VALUE;
	if (size_t(position) >= fData.size())
		return 0;
	size_t count = std::min(size, fData.size() - size_t(position));
	memcpy(buffer, fData.data() + position, count);
	return ssize_t(count);
}

ssize_t BMallocIO::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (position < 0)
		return B_BAD_VALUE;
	size_t end = size_t(position) + size;
	if (end > fData.size())
		fData.resize(end);
	memcpy(fData.data() + position, buffer, size);
	return ssize_t(size);
}

off_t BMallocIO::Seek(off_t position, uint32 seekMode)
{
	off_t target = SeekTarget(position, seekMode, fPosition, off_t(fData.size()));
	if (target < 0)
		return B_BAD_VALUE;
	fPosition = target;
	return fPosition;
}

status_t BMallocIO::SetSize(off_t size)
{
	if (size < 0)
		return B_BAD_VALUE;
	fData.resize(size_t(size));
	return B_OK;
}

status_t BMallocIO::GetSize(off_t* size) const
{
	*size = off_t(fData.size());
	return B_OK;
}
