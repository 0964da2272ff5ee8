#pragma once

// BackupHeader: the record that opens a backup on every medium, as values.
// The byte layout is in ArchiveFormat.h. A plain value; any thread.

#include <string>

#include "ArchiveFormat.h"

struct BackupHeader {
	uint16 version = kArchiveVersion;
	std::string backupId;
	std::string title;
	int32 creationTime = 0;
	int32 destinationType = 0;
	std::string compressor;
	std::string password;
	uint16 alignment = kArchiveAlignment;
	uint16 mediumNumber = 1;
	int16 removable = 0;
	int64 totalSize = 0;
	int32 entryCount = 0;
	int32 jobId = 0;
	int32 mode = 1;
	int32 baseId = 0;

	// Writes the 220 bytes; strings longer than their field are cut.
	void Encode(uint8 buffer[kBackupHeaderSize]) const;
	// Reads a header buffer as ReadBackupHeaderData leaves it.
	static BackupHeader Decode(const uint8 buffer[kBackupHeaderSize]);
};

enum class BackupHeaderStatus {
	Ok = 0,
	ShortRead = 1,
	WrongMagic = 2,
};

class ArchiveSource;

// Reads a backup header at the source's position into a 220-byte buffer:
// 6 bytes, then the rest of the record up to 220 bytes (a longer record is
// read only that far), then brings a header of an older version to the
// current layout. A record shorter than its first 8 bytes is a short read.
// *bytesRead gets the bytes taken from the source (0 on failure).
[[nodiscard]] BackupHeaderStatus ReadBackupHeaderData(ArchiveSource* source,
	uint8 buffer[kBackupHeaderSize], uint32* bytesRead);
// The same, decoded into *header.
[[nodiscard]] BackupHeaderStatus ReadBackupHeader(ArchiveSource* source, BackupHeader* header);

// The backup ID of a job started at the given local time: year, month, day
// and a non-negative random number, "%4d%02d%02d%08d".
std::string MakeBackupId(int year, int month, int day, int32 random);
