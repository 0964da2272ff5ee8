#include "StreamEnd.h"

#include <support/Errors.h>

namespace {

constexpr int64 kLongestStream = int64(1) << 62;

bool HasByteAt(ArchiveSource* source, int64 position)
{
	uint8 byte;
	return source->Seek(position, kArchiveSeekFromStart) == position
		&& source->Read(&byte, 1) == 1;
}

}	// namespace

int64 FindStreamEnd(ArchiveSource* source)
{
	if (!HasByteAt(source, 0))
		return 0;
	// A byte is known at present and none at missing.
	int64 present = 0;
	int64 missing = 1;
	while (HasByteAt(source, missing)) {
		if (missing >= kLongestStream)
			return B_ERROR;
		present = missing;
		missing *= 2;
	}
	while (missing - present > 1) {
		int64 middle = present + (missing - present) / 2;
		if (HasByteAt(source, middle))
			present = middle;
		else
			missing = middle;
	}
	return missing;
}
