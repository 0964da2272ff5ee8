#pragma once

// The byte source the archive readers work against, so that a destination,
// a memory buffer or a test's damaged bytes serve alike (ArchiveSink.h is the
// writers' side). A source is used by one thread at a time and is not owned
// by the reader given it; it must outlive the reader.

#include <support/SupportDefs.h>

#include "ArchiveSink.h"

// Seek origins, the same values as a destination's.
constexpr int32 kArchiveSeekFromStart = 0;
constexpr int32 kArchiveSeekFromCurrent = 1;

class ArchiveSource {
public:
	virtual ~ArchiveSource() = default;
	// Bytes read (fewer at the end of the stream, 0 past it), or a negative
	// error.
	virtual int64 Read(void* buffer, int64 length) = 0;
	// The new position, or a negative error.
	virtual int64 Seek(int64 offset, int32 origin) = 0;

	// Reads until length bytes arrived or the source has no more; returns
	// the bytes read (negative only when the first read failed).
	int64 ReadFully(void* buffer, int64 length);
};
