#pragma once

// CatalogueFile: the catalogue file of a backup in the server's "logdata"
// folder, with the attributes that let a listing skip its content. Paths are
// system paths ("/<volume>/..."). Static functions; any thread, but two
// writers of one file at a time are not supported.

#include <string>

#include <app/Message.h>
#include <support/Errors.h>

// What a listing reads from the attributes alone.
struct CatalogueAttributes {
	std::string title;
	int32 date = 0;
	uint16 version = 0;
	uint64 size = 0;
	int32 jobId = 0;
	int32 mode = 0;
	int32 baseId = 0;
	bool hasPassword = false;
	// The destination add-on; empty in a file written before it was kept.
	std::string destination;
};

// What Read() returns for a catalogue written by a newer program; *version
// then holds that version for the message to the user.
constexpr status_t kCatalogueNeedsNewerProgram = B_MISMATCHED_VALUES;

class CatalogueFile {
public:
	// "<serverFolder>/logdata/<backupId>".
	static std::string PathFor(const std::string& serverFolder, const std::string& backupId);

	// Replaces the file with the flattened catalogue and its nine
	// attributes as a whole: both go into a temporary file that is renamed
	// over the old one only when complete, so no reader ever finds a
	// catalogue without its attributes.
	[[nodiscard]] static status_t Write(const char* path, const BMessage& catalogue);

	// Reads and unflattens a catalogue file. B_BAD_DATA for a damaged file
	// or one without a program version; kCatalogueNeedsNewerProgram for a
	// version above the current one. *version (when given) gets the
	// recorded version.
	[[nodiscard]] static status_t Read(const char* path, BMessage* catalogue,
		int16* version = nullptr);

	// Reads and unflattens a catalogue file whatever version it records;
	// on failure the message is empty.
	[[nodiscard]] static status_t ReadContent(const char* path, BMessage* catalogue);

	// Reads the nine attributes; a missing one reads as 0 or "".
	[[nodiscard]] static status_t ReadAttributes(const char* path,
		CatalogueAttributes* attributes);
};
