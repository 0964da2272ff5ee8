#include "MediumSource.h"

#include <algorithm>
#include <cstring>

#include "ArchiveFormat.h"
#include "MVVolume.h"

namespace {

constexpr size_t kBufferSize = 64 * 1024;
// A read at least this long skips the buffer when it is empty.
constexpr int64 kDirectReadLength = 16 * 1024;
// Buffer refills are short, so that the data of large blocks is read
// straight into the caller's buffer rather than copied.
constexpr size_t kRefillLength = 16 * 1024;

}	// namespace

MediumSource::MediumSource(MVVolume* volume)
	:
	fVolume(volume),
	fBuffer(kBufferSize)
{
}

int64 MediumSource::Read(void* buffer, int64 length)
{
	if (length <= 0)
		return 0;
	uint8* into = static_cast<uint8*>(buffer);
	int64 done = 0;
	size_t held = fLength - fCursor;
	if (held > 0) {
		size_t count = size_t(std::min<int64>(length, int64(held)));
		memcpy(into, fBuffer.data() + fCursor, count);
		fCursor += count;
		done = int64(count);
		if (done == length)
			return done;
	}
	int64 rest = length - done;
	if (rest >= kDirectReadLength) {
		fBufferStart += int64(fLength);
		fLength = fCursor = 0;
		int64 read = fVolume->Read(into + done, rest);
		if (read < 0)
			return done > 0 ? done : read;
		fBufferStart += read;
		return done + read;
	}
	int64 filled = _Fill(size_t(rest));
	if (filled < 0)
		return done > 0 ? done : filled;
	size_t count = std::min(size_t(rest), fLength - fCursor);
	memcpy(into + done, fBuffer.data() + fCursor, count);
	fCursor += count;
	return done + int64(count);
}

int64 MediumSource::_Fill(size_t minimum)
{
	// Keep what is unread, then read behind it.
	size_t held = fLength - fCursor;
	if (held > 0 && fCursor > 0)
		memmove(fBuffer.data(), fBuffer.data() + fCursor, held);
	fBufferStart += int64(fCursor);
	fCursor = 0;
	fLength = held;
	size_t want = std::min(fBuffer.size() - held, std::max(minimum, kRefillLength));
	while (fLength < minimum) {
		int64 read = fVolume->Read(fBuffer.data() + fLength, int64(want));
		if (read < 0)
			return read;
		if (read == 0)
			break;
		fLength += size_t(read);
		want = std::min(want, fBuffer.size() - fLength);
		if (want == 0)
			break;
	}
	return int64(fLength);
}

int64 MediumSource::Seek(int64 offset, int32 origin)
{
	int64 position = fBufferStart + int64(fCursor);
	int64 target = origin == kArchiveSeekFromCurrent ? position + offset : offset;
	if (origin != kArchiveSeekFromCurrent && origin != kArchiveSeekFromStart)
		return B_BAD_VALUE;
	if (target < 0)
		return B_BAD_VALUE;
	if (target >= fBufferStart && target <= fBufferStart + int64(fLength)) {
		fCursor = size_t(target - fBufferStart);
		return target;
	}
	// Destinations promise only a negative result on failure, not the
	// position they report on success.
	int64 result = fVolume->Seek(target, kArchiveSeekFromStart);
	if (result < 0)
		return result;
	fBufferStart = target;
	fLength = fCursor = 0;
	return target;
}

bool MediumSource::PeekMagic(uint32* magic)
{
	if (fLength - fCursor < 4 && (_Fill(4) < 0 || fLength - fCursor < 4))
		return false;
	*magic = ReadLE32(fBuffer.data() + fCursor);
	return true;
}
