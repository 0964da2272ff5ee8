#pragma once

// Catalogue: the catalogue message of one backup (CatalogueFormat.h), built
// while the backup is written and read by restore, compare and insert. It
// owns its message; a value used by one thread at a time.

#include <string>
#include <unordered_set>

#include <app/Message.h>
#include <support/Errors.h>

#include "ArchiveFormat.h"
#include "CatalogueFormat.h"

// What a backup records about itself when it starts.
struct CatalogueInfo {
	std::string backupId;
	std::string title;
	int32 date = 0;
	// Empty: the job named no compressor, and the field stays out.
	std::string compressor;
	BMessage cruncherSettings;
	std::string password;
	std::string destination;
	BMessage destinationSettings;
	BMessage selection;
	int16 removable = 0;
	int32 jobId = 0;
	int32 mode = 1;
	int32 baseId = 0;
};

// One backed-up entry. The path is a system path; the catalogue keeps it
// with the boot volume's name in place of "boot" (see CataloguePath).
struct CatalogueEntry {
	std::string path;
	EntryKind kind = EntryKind::File;
	int64 size = 0;
	int32 level = 0;
	int32 mediumNumber = 1;
	int64 offset = 0;
	int32 modificationTime = 0;
	int32 entryNumber = 0;
};

class Catalogue {
public:
	Catalogue() = default;
	explicit Catalogue(BMessage message) : fMessage(std::move(message)) {}

	// Starts the message afresh with the backup-wide fields.
	[[nodiscard]] status_t Begin(const CatalogueInfo& info);
	[[nodiscard]] status_t AddEntry(const CatalogueEntry& entry);
	// Adds (or replaces) the bytes saved, after the last entry.
	[[nodiscard]] status_t SetSize(int64 size);
	// Records that the data of the entry of that number could not be read
	// in full.
	[[nodiscard]] status_t MarkIncomplete(int32 entryNumber);
	// Records the name of medium number (from 1); earlier media without one
	// get "".
	[[nodiscard]] status_t SetMediumName(int32 medium, const std::string& name);
	// The name a catalogue message records for the medium; "" when none.
	static std::string MediumName(const BMessage& catalogue, int32 medium);
	// The entry numbers a catalogue message marks incomplete.
	static std::unordered_set<int32> IncompleteEntries(const BMessage& catalogue);

	int32 CountEntries() const;
	// B_BAD_INDEX past the end, B_BAD_DATA when the arrays disagree.
	[[nodiscard]] status_t EntryAt(int32 index, CatalogueEntry* entry) const;
	// The program version recorded, 0 when absent.
	int16 Version() const;
	std::string Title() const;
	// The compressor add-on to read the backup with.
	std::string Compressor() const;

	const BMessage& Message() const { return fMessage; }
	BMessage& Message() { return fMessage; }

	// "/boot" and "/boot/rest" become "/<boot volume name>" and
	// "/<boot volume name>/rest", so that every path of a backup names its
	// volume the same way; every other path stays as it is.
	static std::string CataloguePath(const std::string& path);
	// Whether a backup of this version needs a newer program to be read.
	static bool NeedsNewerProgram(int16 version);

private:
	BMessage fMessage;
};
