#pragma once

// Reading the header at the start of a backup from a destination, and
// bringing the header of an older version up to the current layout. The
// byte layout and its constants are in ArchiveFormat.h: a 32-bit magic, the
// 16-bit header length and the 16-bit version, kBackupHeaderSize bytes in
// all.
//
// The header comes from a medium and is untrusted: a length above
// kBackupHeaderSize is read as kBackupHeaderSize bytes, one below the first
// six bytes is an error, and nothing is written beyond the caller's buffer.
// Any thread; the source is read by the calling thread only.

#include <functional>

#include <support/SupportDefs.h>

#include "ArchiveFormat.h"

// Reads up to length bytes into buffer; returns the bytes read, or a
// negative value on an error.
using BackupByteSource = std::function<int64(void* buffer, int64 length)>;

class BackupHeaderReader {
public:
	enum : int32 {
		kHeaderOK = 0,
		kHeaderReadError = 1,
		kHeaderWrongMagic = 2,
	};

	// Clears header (kBackupHeaderSize bytes) and reads it from source. On
	// kHeaderOK *bytesRead holds the bytes read (6 plus the rest).
	[[nodiscard]] static int32 Read(const BackupByteSource& source, uint8* header,
		int32* bytesRead);
	// Sets the fields that older versions lack to their neutral values.
	static void Upgrade(uint8* header);
};
