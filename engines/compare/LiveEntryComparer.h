#pragma once

// LiveEntryComparer: compares what a file header recorded about an item
// with the live entry at its path, item by item as the options ask, and
// says what differs as report lines. It never writes to the file system:
// the live entry is examined without following a link, files are opened
// read-only, and only regular files are opened at all (a FIFO or device
// would block or read endlessly).
//
// What the live entry is decides what is compared: size and file data only
// for a live regular file, the link's text only when either side is a
// link. The file data itself is the engine's work (block by block); the
// comparer opens the live file for it.
//
// One item at a time; used on the worker's thread.

#include <string>
#include <vector>

#include <storage/Entry.h>
#include <storage/File.h>

#include "CompareOptions.h"
#include "FileHeader.h"
#include "JobReportLine.h"

// The live entry's kind as the compare sees it.
enum class LiveType : int32 {
	Missing = -1,
	File = 0,
	Directory = 1,
	SymLink = 2,
	VolumeRoot = 3,
};

struct LiveComparison {
	LiveType type = LiveType::Missing;
	int64 liveSize = 0;
	// One line per difference or read error, all of line type 3.
	std::vector<JobReportLine> lines;
	int32 misscompared = 0;
	int32 readErrors = 0;
};

class LiveEntryComparer {
public:
	explicit LiveEntryComparer(const CompareOptions& options) : fOptions(options) {}

	// Compares everything but the file data. backupLink is the link text the
	// backup holds (empty when the item is no link). When the file data is
	// to be compared and the live entry is a regular file, *file is opened
	// read-only; otherwise it is left unset.
	// leaf names the item in the lines.
	LiveComparison Compare(const std::string& path, const std::string& leaf,
		const FileHeader& header,
		uint16 version, const std::string& backupLink, BFile* file) const;

	// Nine characters "rwxrwxrwx" for the bits 0400 to 0001, "-" for a
	// clear bit.
	static std::string PermissionText(uint32 permissions);

private:
	void _CompareStat(const std::string& leaf, const FileHeaderStat& backup,
		const struct stat& live, LiveComparison* result) const;
	static void _OpenFile(const BEntry& entry, const struct stat& status, BFile* file);
	void _CompareAttributes(const std::string& path, const std::string& leaf,
		const FileHeader& header, uint16 version, BFile* file, LiveComparison* result) const;
	void _CompareLink(const std::string& path, const std::string& leaf,
		const std::string& backupLink, LiveComparison* result) const;
	static void _Differs(LiveComparison* result, int32 textID, MVTextArguments arguments);
	static void _ReadError(LiveComparison* result, int32 textID, MVTextArguments arguments);

	CompareOptions fOptions;
};
