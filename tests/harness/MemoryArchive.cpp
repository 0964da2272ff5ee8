#include "MemoryArchive.h"

#include <cstring>

#include <support/Errors.h>

MemoryArchive::MemoryArchive(const void* data, size_t size)
	:
	fBytes(static_cast<const uint8*>(data), static_cast<const uint8*>(data) + size)
{
}

int64 MemoryArchive::Read(void* buffer, int64 length)
{
	if (length < 0)
		return B_BAD_VALUE;
	int64 available = int64(fBytes.size()) - fPosition;
	if (available <= 0)
		return 0;
	int64 count = length < available ? length : available;
	memcpy(buffer, fBytes.data() + fPosition, size_t(count));
	fPosition += count;
	return count;
}

int64 MemoryArchive::Seek(int64 offset, int32 origin)
{
	int64 base = origin == kArchiveSeekFromCurrent ? fPosition : 0;
	if (origin != kArchiveSeekFromStart && origin != kArchiveSeekFromCurrent)
		return B_BAD_VALUE;
	if (offset < -base || offset > INT64_MAX - base)
		return B_BAD_VALUE;
	fPosition = base + offset;
	return fPosition;
}

int64 MemoryArchive::Write(const void* buffer, int64 length)
{
	if (length < 0)
		return B_BAD_VALUE;
	size_t end = size_t(fPosition + length);
	if (end > fBytes.size())
		fBytes.resize(end);
	memcpy(fBytes.data() + fPosition, buffer, size_t(length));
	fPosition += length;
	return length;
}
