#pragma once

// RestorePathGuard: keeps a restore from writing where a damaged or hostile
// backup wants it to. Catalogues and archives come from media, so:
// - catalogue paths and leaf names are checked lexically: no empty, "." or
//   ".." component, no "/" inside a leaf name;
// - no item is written through a symbolic link that the same restore
//   created (the guard remembers every link it is told of);
// - an item redirected into a target folder must land inside that folder
//   once every symbolic link on the way is resolved.
//
// Paths are system paths ("/<volume>/..."). The checks look at the file
// system as it is when asked; they guard against the backup's contents, not
// against another process racing the restore. One thread at a time.

#include <sys/types.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include <support/Errors.h>

class RestorePathGuard {
public:
	// A folder that redirected items must stay inside.
	void AddRedirectionRoot(const char* path);
	// The restore made a symbolic link here.
	void NoteCreatedLink(const char* path);
	// Something on the disk changed (an entry removed or renamed), so
	// checks done before must be done again.
	void Invalidate() { fCheckedFolder.clear(); }

	// B_OK when writing the item at target is safe; B_NOT_ALLOWED when it
	// would pass through a link this restore created or, for a redirected
	// item, leave its redirection folder. writeThroughTarget says that the
	// target itself is opened as a folder (it is followed when a link).
	[[nodiscard]] status_t CheckTarget(const std::string& target, const char* redirection,
		bool writeThroughTarget);

private:
	bool _PassesCreatedLink(const std::string& native, size_t from) const;
	bool _InsideRoot(const std::string& native, const char* redirection) const;
	const std::string* _RootFor(const char* redirection) const;

	// Redirection roots: system path and resolved native path.
	std::vector<std::pair<std::string, std::string>> fRoots;
	std::set<std::pair<dev_t, ino_t>> fCreatedLinks;
	// The last parent folder found safe, native, and its redirection.
	std::string fCheckedFolder;
	std::string fCheckedRedirection;
};
