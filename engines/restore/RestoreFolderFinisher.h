#pragma once

// RestoreFolderFinisher: the folders whose permissions and times wait until
// their contents are restored. Folders are noted in the order they are made
// (a folder before its contents) and finished in the reverse order, so that
// every folder is finished after everything inside it, and a read-only
// folder gets its permissions only when nothing more goes into it.
// Owned by the worker; one thread.

#include <optional>
#include <string>
#include <vector>

#include "FileHeader.h"

class RestoreTargetFolders;

class RestoreFolderFinisher {
public:
	// A folder at target, redirected or not (redirection may be null).
	void Note(const std::string& target, const char* redirection, const FileHeaderStat& stat);
	// Applies what was noted, innermost folders first, and forgets it.
	// Each folder is opened again through the target folders, so one that
	// a link took the place of is left alone.
	void FinishAll(RestoreTargetFolders* folders);
	int32 CountPending() const { return int32(fPending.size()); }

private:
	struct Pending {
		std::string target;
		std::optional<std::string> redirection;
		FileHeaderStat stat;
	};
	std::vector<Pending> fPending;
};
