#include "FuzzReplay.h"

#include "ArchiveReader.h"
#include "MemoryArchive.h"
#include "MVLZRW1.h"

// A stream is accepted when the reader walks it to its end and its last
// record is the catalogue, as in every complete backup.
bool ReaderAccepts(const uint8_t* data, size_t size)
{
	MemoryArchive archive(data, size);
	MVLZRW1 cruncher;
	ArchiveReader reader(&archive);
	ArchiveRecordKind kind;
	ArchiveRecordKind last = ArchiveRecordKind::EndOfMedium;
	status_t status;
	while ((status = reader.NextRecord(&kind)) == B_OK) {
		if (kind == ArchiveRecordKind::BackupHeader) {
			reader.SetCruncher(reader.LastBackupHeader().compressor == "MVLZRW1"
				? &cruncher : nullptr);
		}
		last = kind;
	}
	return status == B_ENTRY_NOT_FOUND && last == ArchiveRecordKind::Catalogue;
}
