// Feeds arbitrary bytes to the insert engine as the stream of a damaged
// medium. The scan reads it record by record as the worker does, from after
// the backup header (or from the first byte when there is none), going on
// after an end-of-medium record with the next backup header in the same
// bytes; every entry it adds must be whole and have a safe path. Then the
// stream's end is probed and the catalogue record searched for and read, as
// the quick way does.

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "ArchiveReader.h"
#include "CatalogueRecordCheck.h"
#include "CatalogueRecordFinder.h"
#include "EntryName.h"
#include "InsertScanner.h"
#include "MemoryArchive.h"
#include "StreamEnd.h"

namespace {

// Reads the backup header of a medium into *medium; without one the scan
// starts where the header should be, as medium 1.
bool StartMedium(ArchiveReader* reader, MemoryArchive* archive, int32* medium)
{
	BackupHeader header;
	int64 start = archive->Position();
	*medium = 1;
	if (reader->ReadBackupHeader(&header) == BackupHeaderStatus::Ok) {
		*medium = header.mediumNumber;
		return true;
	}
	(void)archive->Seek(start, kArchiveSeekFromStart);
	return false;
}

void CheckEntries(const Catalogue& catalogue, int32 added)
{
	if (catalogue.CountEntries() != added)
		abort();
	CatalogueEntry entry;
	for (int32 index = 0; index < added; index++) {
		if (catalogue.EntryAt(index, &entry) != B_OK
			|| !IsSafeEntryPath(entry.path.c_str())
			|| entry.path.size() > InsertScanner::kMaxPathLength)
			abort();
	}
}

void SearchRecord(MemoryArchive* archive, ArchiveReader* reader, size_t size)
{
	if (FindStreamEnd(archive) != int64(size))
		abort();
	int64 first = std::min<int64>(kBackupHeaderSize, int64(size));
	CatalogueRecordFinder finder(archive);
	int64 offset = -1;
	if (finder.Find(first, int64(size), &offset) != B_OK)
		return;
	if (offset < first || offset + int64(kCatalogueRecordSize) > int64(size))
		abort();
	(void)archive->Seek(offset, kArchiveSeekFromStart);
	BMessage record;
	if (reader->ReadCatalogueRecord(&record) == B_OK) {
		// Restore and compare read the incomplete entries of a catalogue.
		(void)Catalogue::IncompleteEntries(record);
		(void)IsSoundCatalogueRecord(Catalogue(std::move(record)));
	}
}

}	// namespace

// Scans the stream as the insert worker does; true when it opens with a
// backup header and the scan reached the end of the backup. Also the
// replay's judge of the seed corpus.
bool InsertScanCompletes(const uint8_t* data, size_t size)
{
	MemoryArchive archive(data, size);
	ArchiveReader reader(&archive);
	Catalogue catalogue;
	InsertScanner scanner(&catalogue);
	int32 medium;
	bool opened = StartMedium(&reader, &archive, &medium);
	scanner.SetMedium(&reader, &archive, medium);
	int32 added = 0;
	bool inData = false;
	bool complete = false;
	for (size_t steps = 0; ; steps++) {
		// Every record read moves the stream on.
		if (steps > 2 * size + 2)
			abort();
		InsertScanEvent event = inData ? scanner.ReadBlock() : scanner.ReadHeader();
		if (event == InsertScanEvent::EntryAdded)
			added++;
		if (event == InsertScanEvent::EndOfMedium) {
			(void)archive.Seek(kEndOfMediumSize, kArchiveSeekFromCurrent);
			(void)StartMedium(&reader, &archive, &medium);
			scanner.SetMedium(&reader, &archive, medium);
			continue;
		}
		if (event == InsertScanEvent::EndOfBackup)
			complete = true;
		if (complete || event == InsertScanEvent::Truncated || event == InsertScanEvent::Damaged
			|| event == InsertScanEvent::NoMemory)
			break;
		inData = event == InsertScanEvent::BlockRead
			|| ((event == InsertScanEvent::EntryAdded || event == InsertScanEvent::EntrySkipped)
				&& scanner.Data() != InsertEntryData::None);
	}
	CheckEntries(catalogue, added);
	SearchRecord(&archive, &reader, size);
	return opened && complete;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	(void)InsertScanCompletes(data, size);
	return 0;
}
