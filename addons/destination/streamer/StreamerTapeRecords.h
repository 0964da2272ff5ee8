#pragma once

// The records the streamer writes on a tape besides the archive data, each
// a 1024-byte block, integers little-endian:
//
//   media label at the beginning of the tape: magic 0xFEBA0001 (offset 0),
//   the media ID, NUL-terminated (offset 4), zeros;
//   BackupID after the filemark that opens a backup: magic 0xFEBA0002
//   (offset 0), the backup name (offset 4, at most 32 bytes, NUL-terminated
//   when shorter), the block size the backup was written with (offset 36)
//   and the hardware compression flag (offset 40), zeros.
//
// Blocks come from a tape and are checked as they are decoded.

#include <string>

#include <support/SupportDefs.h>

namespace StreamerTapeRecords {

constexpr size_t kBlockSize = 1024;
constexpr uint32 kLabelMagic = 0xfeba0001;
constexpr uint32 kBackupIdMagic = 0xfeba0002;
constexpr size_t kMaxMediaId = 63;
constexpr size_t kBackupNameSize = 32;

struct BackupId {
	std::string name;
	int32 cacheSize = 0;
	int32 hardwareCompression = 0;
};

void EncodeLabel(const std::string& mediaId, uint8* block);
// 0 with the ID; 3 for another magic; 4 when the ID does not end within
// kMaxMediaId characters (*mediaId gets it cut to that length).
int32 DecodeLabel(const uint8* block, std::string* mediaId);

void EncodeBackupId(const BackupId& id, uint8* block);
// False for another magic or a block size that no backup has.
bool DecodeBackupId(const uint8* block, BackupId* id);

// A new media ID: "%4d%02d%02d%08d.media" of the local date and a random
// number.
std::string NewMediaId();

}	// namespace StreamerTapeRecords
