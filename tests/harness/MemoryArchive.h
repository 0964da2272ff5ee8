#pragma once

// MemoryArchive: an archive stream held in memory, both source and sink.
// Writes append at the position (overwriting what lies there); reads and
// seeks move the same position. For tests and fuzzing.

#include <vector>

#include "ArchiveStream.h"

class MemoryArchive : public ArchiveSource, public ArchiveSink {
public:
	MemoryArchive() = default;
	MemoryArchive(const void* data, size_t size);

	int64 Read(void* buffer, int64 length) override;
	int64 Seek(int64 offset, int32 origin) override;
	int64 Write(const void* buffer, int64 length) override;

	const std::vector<uint8>& Bytes() const { return fBytes; }
	std::vector<uint8>& Bytes() { return fBytes; }
	int64 Position() const { return fPosition; }

private:
	std::vector<uint8> fBytes;
	int64 fPosition = 0;
};
