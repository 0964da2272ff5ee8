#pragma once

// CatalogueRecordFinder: finds the catalogue record that ends a backup,
// searching backwards from the end of the stream. A candidate is the
// record's head (magic, size 8) followed, within the first bytes of the
// flattened catalogue, by the name of its first field, "MV_LOGID"; the
// candidate nearest the end wins. Whether the record really ends the
// backup is for the reader of the record to check.
//
// The search widens in at most kMaxAttempts stretches: the first covers the
// last kFirstStretch bytes, each further one twice as many. Bytes are read
// in pieces of a bounded size, so memory does not grow with the stretch.
//
// The source is not owned and must outlive the finder. One thread at a time.

#include <vector>

#include <support/Errors.h>

#include "ArchiveStream.h"

class CatalogueRecordFinder {
public:
	static constexpr int32 kMaxAttempts = 16;
	static constexpr int64 kFirstStretch = 64 * 1024;
	// How far after the record's head the field name must begin.
	static constexpr uint32 kNameWindow = 256;

	explicit CatalogueRecordFinder(ArchiveSource* source);

	// Searches the stream before end, back to first (the end of the backup
	// header) at most. B_OK with the record's offset; B_ENTRY_NOT_FOUND when
	// no stretch holds one.
	[[nodiscard]] status_t Find(int64 first, int64 end, int64* offset);
	// The stretches searched by the last Find.
	int32 Attempts() const { return fAttempts; }

private:
	bool _Search(int64 from, int64 to, int64 end, int64* offset);
	static bool _IsRecordAt(const uint8* at, size_t available);

	ArchiveSource* fSource;
	std::vector<uint8> fPiece;
	int32 fAttempts = 0;
};
