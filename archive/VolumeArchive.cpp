#include "VolumeArchive.h"

#include "MVVolume.h"

int64 VolumeArchive::Read(void* buffer, int64 length)
{
	return fVolume->Read(buffer, length);
}

int64 VolumeArchive::Seek(int64 offset, int32 origin)
{
	return fVolume->Seek(offset, origin);
}

int64 VolumeArchive::Write(const void* buffer, int64 length)
{
	return fVolume->Write(buffer, length);
}
