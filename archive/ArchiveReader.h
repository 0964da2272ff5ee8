#pragma once

// ArchiveReader: reads the records of a backup stream from a source, for
// restore, compare and insert alike. The archive is untrusted input: every
// length is checked against the record and against fixed caps before it is
// used, so damaged or hostile bytes give the read errors below, never a
// crash, an endless loop or an unbounded allocation.
//
// The source and the compressor are not owned and must outlive the reader;
// a null compressor takes payloads as stored. The reader keeps its buffers
// (one file header, one data block) for its whole life; pointers into them
// stay valid until the next read. One thread at a time.
//
// The program version given (the catalogue's, or the backup header's when
// one was read) decides how file headers of older backups are converted.

#include <string>
#include <vector>

#include <app/Message.h>
#include <support/Errors.h>

#include "ArchiveStream.h"
#include "BackupHeader.h"
#include "FileHeader.h"

class MVCruncher;

enum class FileHeaderStatus {
	Ok = 0,
	// Too few bytes, or lengths that do not fit the record.
	ShortRead = 1,
	WrongMagic = 2,
};

enum class DataBlockStatus {
	Ok = 0,
	// The source returned nothing: the data goes on on the next medium.
	EndOfMedium,
	WrongMagic,
	// The block header is short or its lengths do not fit.
	HeaderShort,
	DataShort,
	// The compressor could not restore the payload.
	Corrupt,
};

enum class SymLinkStatus {
	Ok = 0,
	WrongMagic = 1,
	HeaderShort = 2,
	TargetShort = 3,
};

enum class SkipStatus {
	Ok = 0,
	ShortRead = 1,
	WrongMagic = 2,
	NoMemory = 3,
};

enum class ArchiveRecordKind {
	BackupHeader,
	FileHeader,
	DataBlock,
	EndOfMedium,
	Catalogue,
};

// One data block as read: its fields and the restored file bytes.
struct DataBlock {
	uint32 number = 0;
	uint32 next = 0;
	const uint8* data = nullptr;
	uint32 length = 0;

	bool IsLast() const { return next == 0; }
};

class ArchiveReader {
public:
	ArchiveReader(ArchiveSource* source, MVCruncher* cruncher = nullptr,
		uint16 version = kArchiveVersion);

	void SetVersion(uint16 version) { fVersion = version; }
	uint16 Version() const { return fVersion; }
	void SetPassword(const char* password) { fPassword = password != nullptr ? password : ""; }
	void SetCruncher(MVCruncher* cruncher) { fCruncher = cruncher; }

	// Reads a backup header; on success takes its password and version.
	[[nodiscard]] BackupHeaderStatus ReadBackupHeader(BackupHeader* header);
	// Reads one file header at the position into header, converting older
	// layouts so that the variable part always starts at offset 76.
	[[nodiscard]] FileHeaderStatus ReadFileHeaderData(FileHeader* header);
	// Reads one data block and restores its file bytes into block->data.
	[[nodiscard]] DataBlockStatus ReadDataBlock(DataBlock* block);
	// Reads the one block of a symbolic link into target.
	[[nodiscard]] SymLinkStatus ReadSymLink2(std::string* target);
	// Skips one data block; *next (when given) gets its next field.
	[[nodiscard]] SkipStatus SkipData(uint32* next = nullptr);
	// Reads a catalogue record into catalogue: B_BAD_VALUE for another
	// magic, B_BAD_DATA for a damaged record.
	[[nodiscard]] status_t ReadCatalogueRecord(BMessage* catalogue);

	// Reads whatever record comes next, for a reader that walks the whole
	// stream. B_OK with *kind set; B_ENTRY_NOT_FOUND at the end of the
	// source; B_BAD_DATA for an unknown magic or a damaged record. The
	// record's contents are in LastBackupHeader(), Header(), Block() or
	// Catalogue().
	[[nodiscard]] status_t NextRecord(ArchiveRecordKind* kind);
	const BackupHeader& LastBackupHeader() const { return fBackupHeader; }
	const FileHeader& Header() const { return fHeader; }
	const DataBlock& Block() const { return fBlock; }
	const BMessage& Catalogue() const { return fCatalogue; }

private:
	FileHeaderStatus _FileHeaderAfterHead(const uint8* head, FileHeader* header);
	// stored: the payload is taken as it is, neither decompressed nor
	// descrambled (a link's target).
	DataBlockStatus _DataBlockAfterHead(const uint8* head, DataBlock* block, bool stored);
	[[nodiscard]] status_t _CatalogueAfterHead(const uint8* head, BMessage* catalogue);
	[[nodiscard]] status_t _EndOfMediumAfterHead(const uint8* head);
	BackupHeaderStatus _BackupHeaderAfterHead(const uint8* head, BackupHeader* header);
	// Reads the rest of a data block's fixed part; false when it is short
	// or its lengths do not fit. *total gets the record's length.
	bool _DataBlockFields(const uint8* head, uint8* fixed, uint32* total);

	ArchiveSource* fSource;
	MVCruncher* fCruncher;
	uint16 fVersion;
	std::string fPassword;
	std::vector<uint8> fPayload;
	std::vector<uint8> fOutput;
	BackupHeader fBackupHeader;
	FileHeader fHeader;
	DataBlock fBlock;
	BMessage fCatalogue;
	EntryKind fLastKind = EntryKind::File;
};
