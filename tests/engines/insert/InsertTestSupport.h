#pragma once

// Test support of the insert engine on the restore engine's test bed (real
// backups written by the backup worker, removable media, tree descriptions,
// a server whose registry answers a restore from the catalogue files the
// inserts wrote).

#include <string>
#include <vector>

#include "ArchiveReader.h"
#include "RestoreTestSupport.h"

// One record of a backup image as the archive reader finds it.
struct ImageRecord {
	ArchiveRecordKind kind;
	int64 offset = 0;
	int64 length = 0;
	// The leaf name of a file header.
	std::string name;
};

class InsertTestBed {
public:
	explicit InsertTestBed(off_t mediumSize = RestoreTestBed::kMediumSize);

	RestoreTestBed& Bed() { return fBed; }

	// Runs an insert job of the ids from an image folder destination (of
	// the add-on named), with the settings RestoreTestBed::RunBackup gives
	// its job, and returns its 'MVJf'; the lines land in Bed().Lines().
	BMessage RunInsert(const std::vector<std::string>& ids, const char* destination,
		const RestoreTestBed::MediaAnswer& answer = nullptr,
		const char* addOn = "MVImage");

	// The catalogue file of a backup; an empty message when it cannot be
	// read.
	BMessage ReadCatalogue(const std::string& id) const;
	void RemoveCatalogue(const std::string& id) const;

	// Restores what a backup's catalogue file lists below the system folder
	// source into the folder target; its 'MVJf'.
	BMessage RunRestore(const std::string& id, const std::string& source,
		const std::string& target);

private:
	RestoreTestBed fBed;
};

// The records of an image, walked with the archive reader until it stops.
std::vector<ImageRecord> WalkImage(const std::vector<uint8>& image);
// Reads and rewrites a native file as bytes.
std::vector<uint8> ReadImage(const std::string& native);
void WriteImage(const std::string& native, const std::vector<uint8>& bytes);
// The flattened form, so that two messages compare field by field.
std::string Flattened(const BMessage& message);
