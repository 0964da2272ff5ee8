#include "BackupOutput.h"

#include <cstring>

#include "MVVolume.h"

void BackupOutput::SetVolume(MVVolume* volume)
{
	fVolume = volume;
	fUsed = 0;
}

int64 BackupOutput::Write(const void* data, int64 length)
{
	if (length < 0)
		return B_BAD_VALUE;
	size_t size = size_t(length);
	if (fUsed + size > kBufferSize && !Flush())
		return B_IO_ERROR;
	if (size >= kBufferSize)
		return _WriteThrough(data, size) ? length : B_IO_ERROR;
	if (fBuffer.size() < kBufferSize)
		fBuffer.resize(kBufferSize);
	memcpy(fBuffer.data() + fUsed, data, size);
	fUsed += size;
	return length;
}

bool BackupOutput::Flush()
{
	size_t length = fUsed;
	fUsed = 0;
	return length == 0 || _WriteThrough(fBuffer.data(), length);
}

bool BackupOutput::_WriteThrough(const void* data, size_t length)
{
	return fVolume != nullptr && fVolume->Write(data, int64(length)) == int64(length);
}
