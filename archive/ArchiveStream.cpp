#include "ArchiveStream.h"

int64 ArchiveSource::ReadFully(void* buffer, int64 length)
{
	uint8* into = static_cast<uint8*>(buffer);
	int64 done = 0;
	while (done < length) {
		int64 read = Read(into + done, length - done);
		if (read < 0)
			return done > 0 ? done : read;
		if (read == 0)
			break;
		done += read;
	}
	return done;
}
