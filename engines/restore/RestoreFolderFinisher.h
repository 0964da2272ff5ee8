#pragma once

// RestoreFolderFinisher: the folders whose permissions and times wait until
// their contents are restored. Folders are noted in the order they are made
// (a folder before its contents) and finished in the reverse order, so that
// every folder is finished after everything inside it, and a read-only
// folder gets its permissions only when nothing more goes into it.
// Owned by the worker; one thread.

#include <string>
#include <vector>

#include "FileHeader.h"

class RestorePathGuard;

class RestoreFolderFinisher {
public:
	void Note(const std::string& path, const FileHeaderStat& stat);
	// Applies what was noted, innermost folders first, and forgets it.
	// Folders the guard no longer finds safe are left alone.
	void FinishAll(RestorePathGuard* guard);
	int32 CountPending() const { return int32(fPending.size()); }

private:
	struct Pending {
		std::string path;
		FileHeaderStat stat;
	};
	std::vector<Pending> fPending;
};
