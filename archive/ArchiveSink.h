#pragma once

// The byte sink the archive writers work against: a destination, a memory
// buffer, or a test's sink that fails at a chosen byte. Used by one thread at
// a time; not owned by the writer given it, which it must outlive.

#include <support/SupportDefs.h>

class ArchiveSink {
public:
	virtual ~ArchiveSink() = default;
	// The bytes written; anything else is a failure.
	virtual int64 Write(const void* buffer, int64 length) = 0;
};
