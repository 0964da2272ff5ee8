#pragma once

// BackupOutput: the sink the backup's records go to the destination through,
// gathered into large writes. A backup of small files writes two short
// records per file; each write to the destination costs system calls of its
// own, so records are collected and written kBufferSize bytes at a time.
//
// Bytes handed to Write() reach the destination at the latest with Flush(),
// which the owner calls before it asks the destination for its free space
// and before it stops the destination. A failed write is reported by the
// call that made it, which may be a later one than the record's own.
//
// The destination is not owned and must outlive the object while it is
// set. One thread at a time.

#include <vector>

#include <support/SupportDefs.h>

#include "ArchiveSink.h"

class MVVolume;

class BackupOutput : public ArchiveSink {
public:
	static constexpr size_t kBufferSize = 1024 * 1024;

	// Drops what is pending; the caller flushes first.
	void SetVolume(MVVolume* volume);
	// length, or B_IO_ERROR when the destination did not take bytes.
	int64 Write(const void* data, int64 length) override;
	[[nodiscard]] bool Flush();
	size_t Pending() const { return fUsed; }

private:
	bool _WriteThrough(const void* data, size_t length);

	MVVolume* fVolume = nullptr;
	std::vector<uint8> fBuffer;
	size_t fUsed = 0;
};
