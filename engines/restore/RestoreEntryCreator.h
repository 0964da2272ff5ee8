#pragma once

// RestoreEntryCreator: makes the entries of a restore (folders, files,
// symbolic links) and gives them the metadata their file header recorded.
//
// Order matters for what the restored entry looks like afterwards:
// attributes go on as soon as the entry exists; a file gets its owner,
// group, permissions and times only after its last data block (writing
// data would otherwise set its modification time to now, and a change of
// owner would clear set-id bits); a folder's permissions and times wait
// until everything inside it is restored (RestoreFolderFinisher), so that a
// read-only folder can still be filled and keeps its own times.
//
// Entries are made and changed through handles (RestoreTargetFolders finds
// their folders), never by path. Owner and group that the user may not set
// (not running as root) are left as they are without complaint. Values of 0
// in the header are not applied. Static functions; any thread.

#include <string>
#include <vector>

#include <storage/Directory.h>
#include <storage/File.h>
#include <storage/SymLink.h>

#include "FileHeader.h"

class RestoreEntryCreator {
public:
	// Owner, then group. B_OK also when the user may not set them; other
	// failures are returned.
	[[nodiscard]] static status_t ApplyOwnership(BNode* node, const FileHeaderStat& stat);
	// Permissions (not for links, which have none of their own).
	static void ApplyPermissions(BNode* node, const FileHeaderStat& stat);
	// Modification and access times.
	static void ApplyTimes(BNode* node, const FileHeaderStat& stat);
	// All of the above, for an entry whose contents are complete.
	[[nodiscard]] static status_t ApplyFinalMetadata(BNode* node, const FileHeaderStat& stat,
		bool isLink);

	// Writes every attribute of the header to the node; the names of those
	// the file system refuses go to *refused. B_BAD_DATA when the header's
	// attribute records are damaged (those before the damage are written).
	[[nodiscard]] static status_t WriteAttributes(BNode* node, const FileHeader& header,
		uint16 version, std::vector<std::string>* refused);

	// Whether a failed owner or group change only means that the user may
	// not make it.
	static bool IsRefusedOwnership(status_t status);
};
