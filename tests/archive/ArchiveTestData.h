#pragma once

// Entries and streams built in memory for the archive tests: a writer runs
// over a list of entries, a reader walks the stream back into entries, and
// the two lists are compared.

#include <string>
#include <vector>

#include <app/Message.h>

#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "BackupHeader.h"
#include "FileHeader.h"

struct TestAttribute {
	std::string name;
	uint32 type = 0;
	std::vector<uint8> value;

	bool operator==(const TestAttribute&) const = default;
};

struct TestEntry {
	std::string name;
	EntryKind kind = EntryKind::File;
	uint32 level = 1;
	std::vector<uint8> data;
	std::string linkTarget;
	std::vector<TestAttribute> attributes;

	bool operator==(const TestEntry&) const = default;
};

// Bytes that are neither all alike nor random, so that LZRW1 finds some
// matches; seed varies them.
std::vector<uint8> PatternBytes(size_t size, uint32 seed);
// Bytes no compressor can shrink.
std::vector<uint8> NoiseBytes(size_t size, uint32 seed);

BackupHeader SampleBackupHeader(const char* password = "");
// Builds the file header of an entry; attribute values go in one record each.
void MakeHeader(const TestEntry& entry, int64 entryNumber, FileHeader* header);

// Writes a whole backup: header, every entry with its data, catalogue.
[[nodiscard]] status_t WriteStream(ArchiveWriter* writer, const BackupHeader& header,
	const std::vector<TestEntry>& entries, const BMessage& catalogue);

// What a reader found walking a stream.
struct ReadBack {
	BackupHeader header;
	std::vector<TestEntry> entries;
	BMessage catalogue;
	bool sawCatalogue = false;
};

// Walks a stream with NextRecord() to its end; the first error stops it.
[[nodiscard]] status_t ReadStream(ArchiveReader* reader, ReadBack* readBack);
