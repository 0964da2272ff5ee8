#include "BackupOutput.h"

#include <cstring>

#include "MVVolume.h"

void BackupOutput::SetVolume(MVVolume* volume)
{
	fVolume = volume;
	fUsed = 0;
}

bool BackupOutput::Write(const void* data, size_t length)
{
	if (fUsed + length > kBufferSize && !Flush())
		return false;
	if (length >= kBufferSize)
		return _WriteThrough(data, length);
	if (fBuffer.size() < kBufferSize)
		fBuffer.resize(kBufferSize);
	memcpy(fBuffer.data() + fUsed, data, length);
	fUsed += length;
	return true;
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
