#pragma once

// VolumeArchive: the backup open on a destination (between its Start and
// Stop) as an archive source and sink. Volume is the destination object
// (MVVolume) or a wrapper with the same calls (MVVolumeOrg). The destination
// is not owned and must outlive this object; a null one reads and writes
// nothing.

#include <support/Errors.h>

#include "ArchiveStream.h"

template<typename Volume>
class VolumeArchive : public ArchiveSource, public ArchiveSink {
public:
	explicit VolumeArchive(Volume* volume) : fVolume(volume) {}

	int64 Read(void* buffer, int64 length) override
	{
		return fVolume != nullptr ? fVolume->Read(buffer, length) : B_NO_INIT;
	}

	int64 Seek(int64 offset, int32 origin) override
	{
		return fVolume != nullptr ? fVolume->Seek(offset, origin) : B_NO_INIT;
	}

	int64 Write(const void* buffer, int64 length) override
	{
		return fVolume != nullptr ? fVolume->Write(buffer, length) : B_NO_INIT;
	}

private:
	Volume* fVolume;
};
