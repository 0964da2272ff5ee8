#pragma once

// ArchiveWriter: writes the records of one backup stream to a sink. It
// counts the bytes it wrote since the last backup header, which is the
// offset the catalogue records for each entry. File data is scrambled with
// the password and then passed through the compressor, block by block.
//
// The sink and the compressor are not owned and must outlive the writer; a
// null compressor stores blocks as they are. One thread at a time. Every
// write returns B_OK or the error of the sink (B_IO_ERROR for a short
// write); after a failure the stream is incomplete and the caller ends it.

#include <string>
#include <vector>

#include <support/DataIO.h>
#include <support/Errors.h>

#include "ArchiveStream.h"
#include "BackupHeader.h"

class BMessage;
class FileHeader;
class MVCruncher;

class ArchiveWriter {
public:
	ArchiveWriter(ArchiveSink* sink, MVCruncher* cruncher, const char* password);

	// Starts a medium: resets the position to 0 and writes the header.
	[[nodiscard]] status_t WriteBackupHeader(const BackupHeader& header);
	[[nodiscard]] status_t WriteFileHeader(const FileHeader& header);
	// Writes the data blocks of a file of the given size from its stream:
	// at most size bytes, the last block with next = 0. *written gets the
	// file bytes stored, fewer when the file shrank meanwhile.
	[[nodiscard]] status_t WriteFileData(BDataIO* file, int64 size, int64* written);
	// One data block of raw file bytes (at most kDataBlockMaxRaw).
	[[nodiscard]] status_t WriteDataBlock(const uint8* raw, uint32 length, uint32 blockNumber,
		bool last);
	// The one block of a link: its target (cut to kSymLinkMaxTarget bytes)
	// and a NUL, neither scrambled nor compressed.
	[[nodiscard]] status_t WriteSymLink(const char* target);
	[[nodiscard]] status_t WriteEndOfMedium();
	[[nodiscard]] status_t WriteCatalogue(const BMessage& catalogue);

	// Bytes written since the last backup header began.
	int64 Position() const { return fPosition; }

private:
	status_t _Write(const void* buffer, uint32 length);
	status_t _WriteBlock(const uint8* payload, uint32 packed, uint32 blockNumber, bool last);

	ArchiveSink* fSink;
	MVCruncher* fCruncher;
	std::string fPassword;
	int64 fPosition = 0;
	// Buffers of one block, allocated once.
	std::vector<uint8> fScrambled;
	// A file's block in hand and the one read ahead.
	std::vector<uint8> fCurrent;
	std::vector<uint8> fFollowing;
	std::vector<uint8> fRecord;
};
