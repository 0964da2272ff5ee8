// Feeds arbitrary bytes to the archive reader as a backup stream read off a
// damaged medium, once with the current file-header layout and once with the
// layout of older backups. Every record the reader accepts is walked as the
// restore would use it: its name, its attributes, its block data.

#include <cstdlib>
#include <cstring>

#include "ArchiveReader.h"
#include "MemoryArchive.h"
#include "MVLZRW1.h"

namespace {

void WalkAttributes(const FileHeader& header, uint16 version)
{
	uint32 cursor = 0;
	FileHeaderAttribute attribute;
	int32 count = 0;
	while (header.NextAttribute(&cursor, &attribute, version) == B_OK) {
		if (attribute.data + attribute.length > header.Data() + header.Length())
			abort();
		if (++count > int32(header.Length()))
			abort();
	}
}

void Walk(const uint8_t* data, size_t size, uint16 version)
{
	MemoryArchive archive(data, size);
	MVLZRW1 cruncher;
	ArchiveReader reader(&archive, nullptr, version);
	ArchiveRecordKind kind;
	int64 records = 0;
	while (reader.NextRecord(&kind) == B_OK) {
		// Every record moves the stream on; a walk can never outlast the bytes.
		if (++records > int64(size))
			abort();
		switch (kind) {
			case ArchiveRecordKind::BackupHeader:
				reader.SetCruncher(reader.LastBackupHeader().compressor == "MVLZRW1"
					? &cruncher : nullptr);
				reader.SetVersion(version);
				break;
			case ArchiveRecordKind::FileHeader:
				if (reader.Header().Name() == nullptr)
					abort();
				WalkAttributes(reader.Header(), version);
				break;
			case ArchiveRecordKind::DataBlock:
				if (reader.Block().length > kCruncherDestinationSize)
					abort();
				break;
			default:
				break;
		}
	}
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	Walk(data, size, kArchiveVersion);
	Walk(data, size, 0x80);

	// The single-record readers the restore calls directly.
	MemoryArchive archive(data, size);
	ArchiveReader reader(&archive);
	std::string target;
	(void)reader.ReadSymLink2(&target);
	if (target.size() > kSymLinkMaxTarget + 1)
		abort();
	archive.Seek(0, kArchiveSeekFromStart);
	(void)reader.SkipData();
	return 0;
}
