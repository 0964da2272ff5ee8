#pragma once

// FileHeader: the buffer of one file-header record with its name and
// attribute records (layout in ArchiveFormat.h). A writer builds it from a
// live entry or field by field; a reader fills it through
// ArchiveReader::ReadFileHeaderData and then reads its fields and walks its
// attributes. The buffer starts at 64 KiB and grows, never beyond
// kFileHeaderMaxLength. One thread at a time.
//
// Readers treat the bytes as untrusted: the accessors never reach outside
// the record, and NextAttribute() stops with an error at the first record
// whose lengths do not fit, so damaged headers cannot make a caller loop or
// read out of bounds.

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include <support/Errors.h>

#include "ArchiveFormat.h"

class BNode;

// One attribute record of a header, pointing into the header's buffer.
struct FileHeaderAttribute {
	const char* name = nullptr;
	uint32 type = 0;
	uint32 indexType = 0;
	int64 position = 0;
	const uint8* data = nullptr;
	uint32 length = 0;
};

// The stat data a header records.
struct FileHeaderStat {
	int64 size = 0;
	int32 accessTime = 0;
	int32 modificationTime = 0;
	int32 changeTime = 0;
	uint32 group = 0;
	uint32 user = 0;
	uint32 permissions = 0;
};

class FileHeader {
public:
	FileHeader();

	// Building. Begin() clears the buffer and writes the fixed fields it
	// knows and the name; attributes follow; Finish() closes the record.
	void Begin(EntryKind kind, const char* name, const FileHeaderStat& stat, uint32 level);
	// Appends one attribute record holding length value bytes found at
	// position within the attribute's value. B_NO_MEMORY when the header
	// would pass kFileHeaderMaxLength.
	[[nodiscard]] status_t AddAttribute(const char* name, uint32 type, uint32 indexType,
		int64 position, const void* data, uint32 length);
	void Finish(int64 entryNumber);

	// Builds the whole header of the entry at a system path: kind from its
	// stat data (a volume's root folder is VolumeRoot), its stat data and
	// all its attributes of non-zero size. An attribute that cannot be read
	// is left out and named in *skipped (which may be null). Fails only
	// when the entry itself cannot be examined. *statData (when given) gets
	// the entry's stat data as read.
	[[nodiscard]] status_t BuildFromEntry(const char* path, uint32 level, int64 entryNumber,
		std::vector<std::string>* skipped, struct stat* statData = nullptr);
	// The same from stat data already read: name is the entry's leaf name;
	// node, when given, is the entry opened already, whose attributes are
	// read instead of opening the entry again.
	void BuildFromStat(const char* path, const char* name, const struct stat& status,
		BNode* node, uint32 level, int64 entryNumber, std::vector<std::string>* skipped);

	// Reading. Reserve() makes room for a record of total bytes with the
	// growth rule, keeping the first keep bytes; B_NO_MEMORY beyond the cap.
	[[nodiscard]] status_t Reserve(uint32 total, uint32 keep = kFileHeaderFixedSize);
	uint8* Buffer() { return fBuffer.data(); }
	const uint8* Data() const { return fBuffer.data(); }
	uint32 BufferSize() const { return uint32(fBuffer.size()); }

	// Fields of the record in the buffer.
	uint32 Length() const;
	EntryKind Kind() const;
	uint16 RawKind() const;
	FileHeaderStat Stat() const;
	int64 AttributeOffset() const;
	int64 DataOffset() const;
	int64 EntryNumber() const;
	uint32 Level() const;
	// The entry's name, or null when it has no terminator inside the record.
	const char* Name() const;

	// Walks the attribute records of a header read from a backup of the
	// given program version. Start with *cursor = 0. Returns B_OK with the
	// next attribute, B_ENTRY_NOT_FOUND after the last, B_BAD_DATA for a
	// record whose lengths do not fit the header.
	[[nodiscard]] status_t NextAttribute(uint32* cursor, FileHeaderAttribute* attribute,
		uint16 version = kArchiveVersion) const;
	// B_OK when the name and every attribute record fit the record.
	[[nodiscard]] status_t Validate(uint16 version = kArchiveVersion) const;

	// Writes every attribute to a node (creating indices where a record
	// names one). Continues past failures and returns the first, so that a
	// value the file system refuses (too large, no room) is reported, never
	// dropped silently; *failures counts them when given.
	[[nodiscard]] status_t WriteAttributesTo(BNode* node, uint16 version = kArchiveVersion,
		int32* failures = nullptr) const;

private:
	[[nodiscard]] status_t _Grow(uint32 needed, uint32 required);
	[[nodiscard]] status_t _AddEntryAttribute(BNode* node, dev_t device, const char* name,
		std::vector<std::string>* skipped);

	std::vector<uint8> fBuffer;
	uint32 fEnd = 0;
	uint32 fLastAttribute = 0;
};
