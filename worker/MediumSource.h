#pragma once

// MediumSource: the backup open on a destination (between its Start
// and Stop) as an archive source with a read buffer. A restore reads many
// small records (file headers, the blocks of small files) that lie one
// after the other, so they are served from one large read; reads of whole
// blocks go straight to the destination when nothing is buffered. Seeks
// inside the buffered bytes cost nothing.
//
// The destination is not owned and must outlive the source; a new source
// is made for every Start. One thread at a time.

#include <vector>

#include "ArchiveStream.h"

class MVVolume;

class MediumSource : public ArchiveSource {
public:
	explicit MediumSource(MVVolume* volume);

	int64 Read(void* buffer, int64 length) override;
	int64 Seek(int64 offset, int32 origin) override;

	// The magic of the next record, without consuming it; false when fewer
	// than four bytes are left.
	bool PeekMagic(uint32* magic);

private:
	int64 _Fill(size_t minimum);

	MVVolume* fVolume;
	std::vector<uint8> fBuffer;
	// The stream position of fBuffer[0], the bytes held and the next one.
	int64 fBufferStart = 0;
	size_t fLength = 0;
	size_t fCursor = 0;
};
