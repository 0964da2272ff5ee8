#pragma once

// InsertScanner: rebuilds the entries of a backup's catalogue from its
// stream, record by record, for a backup whose catalogue record cannot be
// used. It reads the file headers and passes over the data blocks through
// the archive reader, and adds a catalogue entry for every sound file
// header: its path (built from the leaf names and levels of the headers
// before it), kind, size, level, medium, offset, modification time and
// running number. Each call reads one record and says what it met; the
// caller turns that into report lines and changes media.
//
// The stream is untrusted. A header is skipped, never added, when its name
// is empty, ".", ".." or holds a "/", when its level has no folder above it,
// when its kind or numbers are out of range, when its path grows longer
// than a path may be, or when its lengths do not fit the record (then the
// scan goes on after the record when the record's length leads there).
// Memory grows only with what the stream holds.
//
// The catalogue, the reader and the source are not owned and must outlive
// the scanner; every medium's reader and source are handed over with
// SetMedium() before anything is read from it. One thread at a time.

#include <string>
#include <vector>

#include "ArchiveReader.h"
#include "Catalogue.h"
#include "FileHeader.h"

enum class InsertScanEvent {
	// A file header became a catalogue entry.
	EntryAdded,
	// A file header that cannot become an entry; Path() names it as far as
	// it is known.
	EntrySkipped,
	// A data block where a file header was expected was passed over (data
	// of a skipped entry).
	StrayBlock,
	// A data block of the entry was passed over; more follow.
	BlockRead,
	// The entry's last block was passed over.
	DataDone,
	// Where the entry's next block should be: another record (the scan goes
	// on with it), a block head that cannot be read, or a block whose
	// payload cannot be read. The entry's data ends there.
	BlockWrongMagic,
	BlockHeadDamaged,
	BlockDataDamaged,
	// The end-of-medium record: the stream goes on after the backup header
	// of the next medium.
	EndOfMedium,
	// The catalogue record, or the end of the stream between two records:
	// the backup is complete.
	EndOfBackup,
	// The stream ends inside a record.
	Truncated,
	// A record of no known kind, or a header whose length leads nowhere.
	Damaged,
	// The catalogue cannot take another entry.
	NoMemory,
};

// What follows the last file header read.
enum class InsertEntryData {
	None,
	FileBlocks,
	LinkBlock,
};

class InsertScanner {
public:
	// A path of a catalogue may be at most this long, a leaf name one less
	// than B_FILE_NAME_LENGTH.
	static constexpr size_t kMaxPathLength = 4096;
	// What a catalogue may grow to, counted as the paths of its entries and
	// the fixed fields of each; a message beyond it could not be stored.
	static constexpr size_t kMaxCatalogueBytes = size_t(512) << 20;
	static constexpr size_t kEntryOverhead = 64;

	explicit InsertScanner(Catalogue* catalogue);

	// The medium in the drive: reader and source stand right after its
	// backup header.
	void SetMedium(ArchiveReader* reader, ArchiveSource* source, int32 mediumNumber);

	// Reads the next record where a file header belongs.
	InsertScanEvent ReadHeader();
	// Reads the next block of the entry whose header was read last.
	InsertScanEvent ReadBlock();

	// The last file header's entry: its system path, kind and what follows.
	const std::string& Path() const { return fPath; }
	EntryKind Kind() const { return fKind; }
	InsertEntryData Data() const { return fData; }
	// The number of the block read last, from 1.
	uint32 BlockNumber() const { return fBlockNumber; }

	int32 CountEntries() const { return fEntries; }
	// The sum of the sizes of the entries added (AddByteCount).
	int64 Bytes() const { return fBytes; }

private:
	// The entry at a level of the path being built.
	struct Level {
		std::string path;
		// Entries below it may be added: a sound folder.
		bool holdsEntries = false;
	};

	InsertScanEvent _ReadEntry(int64 start);
	InsertScanEvent _HeaderFailed(int64 start);
	InsertScanEvent _AddEntry(int64 start);
	bool _IsSound(const char* name, uint32 level) const;
	CatalogueEntry _EntryAt(int64 start, uint32 level) const;
	void _NoteLevel(uint32 level, bool holdsEntries);
	std::string _PathOf(uint32 level, const char* name) const;
	InsertScanEvent _ReadFileBlock(int64 start);
	InsertScanEvent _ReadLinkBlock(int64 start);
	InsertScanEvent _PassStrayBlock(int64 start);
	int64 _EndByTotal(int64 start);
	// Reads up to kRecordHeadSize bytes at start and goes back there: the
	// bytes read, or a negative error when the source cannot go back.
	int64 _Peek(uint8* head, int64 start);
	int64 _Position();
	// Whether the stream holds a byte before end.
	bool _Reaches(int64 end);
	bool _AtEnd();

	Catalogue* fCatalogue;
	ArchiveReader* fReader = nullptr;
	ArchiveSource* fSource = nullptr;
	int32 fMedium = 1;
	FileHeader fHeader;
	std::vector<Level> fLevels;
	std::string fPath;
	EntryKind fKind = EntryKind::File;
	InsertEntryData fData = InsertEntryData::None;
	uint32 fBlockNumber = 0;
	int32 fEntries = 0;
	int64 fBytes = 0;
	size_t fCatalogueBytes = 0;
};
