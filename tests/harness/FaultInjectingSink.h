#pragma once

// FaultInjectingSink: passes writes on to another sink until a given number
// of bytes went through, then fails: the write that would cross byte N
// writes the bytes before N and returns that short count, and every later
// write returns B_IO_ERROR. Lets tests fail a write at any byte.

#include "ArchiveStream.h"

class FaultInjectingSink : public ArchiveSink {
public:
	// The target is not owned and must outlive this sink.
	FaultInjectingSink(ArchiveSink* target, int64 failAtByte)
		: fTarget(target), fFailAt(failAtByte) {}

	int64 Write(const void* buffer, int64 length) override;
	int64 Written() const { return fWritten; }

private:
	ArchiveSink* fTarget;
	int64 fFailAt;
	int64 fWritten = 0;
};
