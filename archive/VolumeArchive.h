#pragma once

// VolumeArchive: the backup open on a destination (MVVolume, between its
// Start and Stop) as an archive source and sink. The destination is not
// owned and must outlive this object.

#include "ArchiveStream.h"

class MVVolume;

class VolumeArchive : public ArchiveSource, public ArchiveSink {
public:
	explicit VolumeArchive(MVVolume* volume) : fVolume(volume) {}

	int64 Read(void* buffer, int64 length) override;
	int64 Seek(int64 offset, int32 origin) override;
	int64 Write(const void* buffer, int64 length) override;

private:
	MVVolume* fVolume;
};
