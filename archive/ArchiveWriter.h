#pragma once

// ArchiveWriter: encodes the records of one backup stream (ArchiveFormat.h)
// and writes them to a sink. It is the only encoder of backup records: the
// backup engine, the tests and the fuzzers all write through it.
//
// A record in the middle of the stream is built first and written second,
// so that its writer can check whether it fits the medium before any byte
// of it goes out: Prepare...() encodes the record and keeps it pending,
// WritePending() writes it. A media change may come between the two: the
// end-of-medium record and the backup header of the next medium are written
// at once by their own calls and leave the pending record as it is.
//
// File data is scrambled with the password, in place, and then passed
// through the compressor, block by block. The writer counts the bytes it
// wrote since the medium began (the last backup header or StartMedium()),
// which is the offset the catalogue records for each entry.
//
// The sink and the compressor are not owned and must outlive the writer; a
// null compressor stores blocks as they are. A file header handed to
// PrepareFileHeader() must stay unchanged until it is written. One thread
// at a time. Every write returns B_OK or the error of the sink (B_IO_ERROR
// for a short write); after a failure the stream is incomplete and the
// caller ends it.

#include <string>
#include <vector>

#include <support/DataIO.h>
#include <support/Errors.h>

#include "ArchiveFormat.h"
#include "ArchiveStream.h"
#include "BackupHeader.h"

class BMessage;
class FileHeader;
class MVCruncher;

class ArchiveWriter {
public:
	// The room of a data or link block record: its header, a compressor's
	// one extra byte and the padding, or a link's target with its NUL.
	static constexpr uint32 kRecordRoom = kDataBlockFixedSize + kDataBlockMaxPacked
		+ kArchiveAlignment;

	ArchiveWriter(ArchiveSink* sink, MVCruncher* cruncher, const char* password);

	// Scrambles length raw bytes in place and packs them through the
	// compressor (null: as they are) into the data block record at record
	// (kRecordRoom bytes): the record's length, with the payload's in
	// *packed; 0 when the compressor grew the block beyond its room.
	static uint32 PackDataBlock(MVCruncher* cruncher, const std::string& password, uint8* raw,
		uint32 length, uint32 blockNumber, bool last, uint8* record, uint32* packed);

	void SetSink(ArchiveSink* sink) { fSink = sink; }
	void SetCruncher(MVCruncher* cruncher) { fCruncher = cruncher; }
	void SetPassword(const char* password);

	// The records of the medium's edges, written at once.
	//
	// Starts a medium: the position goes to 0 and the header is written.
	[[nodiscard]] status_t WriteBackupHeader(const BackupHeader& header);
	// Closes a full medium; StartMedium() follows once it is changed.
	[[nodiscard]] status_t WriteEndOfMedium();
	// The next medium is in: positions count from 0 again.
	void StartMedium() { fPosition = 0; }

	// The records of the entries and the catalogue, built first.
	//
	[[nodiscard]] status_t PrepareFileHeader(const FileHeader& header);
	// One data block of length raw file bytes (at most kDataBlockMaxRaw),
	// which are scrambled in place. B_BAD_VALUE for a longer block,
	// B_BAD_DATA when the compressor grew it beyond a block.
	[[nodiscard]] status_t PrepareDataBlock(uint8* raw, uint32 length, uint32 blockNumber,
		bool last);
	// A data block record packed elsewhere (PackDataBlock()), whose payload
	// is packed bytes long; it must stay unchanged until it is written.
	void PreparePackedBlock(const uint8* record, uint32 length, uint32 packed);
	// The one block of a link: its whole target and a NUL, neither
	// scrambled nor compressed. B_NAME_TOO_LONG for a target of more than
	// kSymLinkMaxTarget bytes, which is never cut.
	[[nodiscard]] status_t PrepareSymLink(const char* target);
	// The catalogue record with the flattened catalogue; B_NO_MEMORY when
	// it cannot be held.
	[[nodiscard]] status_t PrepareCatalogue(const BMessage& catalogue);
	// The bytes of the pending record; 0 when none is pending.
	uint32 PendingLength() const { return fPendingLength; }
	// The stored length of the last block prepared (its packed payload).
	uint32 LastPayloadLength() const { return fLastPayload; }
	// Writes the pending record; it is no longer pending afterwards, even
	// when the write failed.
	[[nodiscard]] status_t WritePending();

	// Prepare and write in one call.
	[[nodiscard]] status_t WriteFileHeader(const FileHeader& header);
	[[nodiscard]] status_t WriteDataBlock(uint8* raw, uint32 length, uint32 blockNumber,
		bool last);
	[[nodiscard]] status_t WriteSymLink(const char* target);
	[[nodiscard]] status_t WriteCatalogue(const BMessage& catalogue);
	// Writes the data blocks of a file of the given size from its stream:
	// at most size bytes, the last block with next = 0. *written gets the
	// file bytes stored, fewer when the file shrank meanwhile.
	[[nodiscard]] status_t WriteFileData(BDataIO* file, int64 size, int64* written);

	// Bytes written since the medium began.
	int64 Position() const { return fPosition; }
	// Frees the catalogue record's buffer, which may be large.
	void ReleaseBuffers();

private:
	[[nodiscard]] status_t _Write(const void* buffer, uint32 length);
	void _SetPending(const uint8* data, uint32 length);
	[[nodiscard]] status_t _PrepareBlock(uint32 packed, uint32 blockNumber, bool last);

	ArchiveSink* fSink;
	MVCruncher* fCruncher;
	std::string fPassword;
	int64 fPosition = 0;
	// The pending record: in fRecord, in the catalogue buffer or in a file
	// header of the caller.
	const uint8* fPending = nullptr;
	uint32 fPendingLength = 0;
	uint32 fLastPayload = 0;
	// A data or link block with its header, allocated once.
	std::vector<uint8> fRecord;
	std::vector<uint8> fCatalogueRecord;
	// A file's block in hand and the one read ahead (WriteFileData).
	std::vector<uint8> fCurrent;
	std::vector<uint8> fFollowing;
};
