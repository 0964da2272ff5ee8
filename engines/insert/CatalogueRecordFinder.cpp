#include "CatalogueRecordFinder.h"

#include <algorithm>
#include <cstring>

#include "ArchiveFormat.h"
#include "CatalogueFormat.h"

namespace {

// Candidates are looked for in pieces of this many bytes; each piece is read
// with the bytes that may follow a candidate at its end.
constexpr int64 kPieceSize = 1024 * 1024;
constexpr int64 kLookAhead = kCatalogueRecordSize + CatalogueRecordFinder::kNameWindow;

}	// namespace

CatalogueRecordFinder::CatalogueRecordFinder(ArchiveSource* source)
	:
	fSource(source)
{
}

status_t CatalogueRecordFinder::Find(int64 first, int64 end, int64* offset)
{
	fAttempts = 0;
	// Every candidate at or after searched has been looked at.
	int64 searched = end;
	while (fAttempts < kMaxAttempts && searched > first) {
		int64 from = std::max(first, end - (kFirstStretch << fAttempts));
		fAttempts++;
		if (_Search(from, searched, end, offset))
			return B_OK;
		searched = from;
	}
	return B_ENTRY_NOT_FOUND;
}

// Looks at the candidates in [from, to), the last first.
bool CatalogueRecordFinder::_Search(int64 from, int64 to, int64 end, int64* offset)
{
	for (int64 pieceEnd = to; pieceEnd > from;) {
		int64 pieceStart = std::max(from, pieceEnd - kPieceSize);
		int64 readEnd = std::min(end, pieceEnd + kLookAhead);
		fPiece.resize(size_t(readEnd - pieceStart));
		if (fSource->Seek(pieceStart, kArchiveSeekFromStart) != pieceStart)
			return false;
		int64 got = fSource->ReadFully(fPiece.data(), int64(fPiece.size()));
		if (got <= 0)
			return false;
		for (int64 candidate = pieceEnd - 1; candidate >= pieceStart; candidate--) {
			size_t at = size_t(candidate - pieceStart);
			if (at >= size_t(got))
				continue;
			if (_IsRecordAt(fPiece.data() + at, size_t(got) - at)) {
				*offset = candidate;
				return true;
			}
		}
		pieceEnd = pieceStart;
	}
	return false;
}

bool CatalogueRecordFinder::_IsRecordAt(const uint8* at, size_t available)
{
	if (available < kCatalogueRecordSize || ReadLE32(at) != kCatalogueMagic
		|| ReadLE16(at + 4) != kCatalogueRecordSize)
		return false;
	const uint8* message = at + kCatalogueRecordSize;
	size_t window = std::min<size_t>(available - kCatalogueRecordSize, kNameWindow);
	size_t nameLength = strlen(kLogIdKey);
	const uint8* found = std::search(message, message + window, kLogIdKey,
		kLogIdKey + nameLength);
	return found != message + window;
}
