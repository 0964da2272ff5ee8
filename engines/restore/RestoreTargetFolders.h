#pragma once

// RestoreTargetFolders: the folders a restore writes into, reached from
// fixed starting folders through folder handles only.
//
// A redirected item starts from its redirection root, the folder the job
// names (opened once by its path, so links the user put in that path are
// followed); any other item starts from the root of its volume. Below the
// starting folder every component is opened relative to the one above it,
// and a symbolic link is never followed. So nothing renamed or linked while
// the restore runs, by a hostile backup or by another user who can write in
// the target, can move a write outside the starting folder.
//
// The folders on the way to the last item stay open, so items of one folder
// cost no walk; the folders returned belong to this object and stay valid
// until the next call. The leaf of an OpenParent() is never among the open
// folders, so the caller may remove or rename it. Paths are system paths.
// One thread.

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <storage/Directory.h>

class RestoreTargetFolders {
public:
	// A folder that redirected items must stay inside; made when missing.
	void AddRedirectionRoot(const char* path);

	// The folder that holds target, with any folder missing on the way
	// made, and the target's leaf name. B_NOT_ALLOWED when a link, an
	// unsafe name or, for a redirected item, a redirection outside every
	// root is on the way.
	[[nodiscard]] status_t OpenParent(const std::string& target, const char* redirection,
		BDirectory** parent, std::string* leaf);
	// The folder target itself; with create it is made when missing
	// (*created says so), as are the folders on the way.
	[[nodiscard]] status_t OpenFolder(const std::string& target, const char* redirection,
		bool create, BDirectory** folder, bool* created = nullptr);

private:
	using Components = std::vector<std::string>;

	[[nodiscard]] status_t _Split(const std::string& target, const char* redirection,
		std::string* start, Components* components) const;
	[[nodiscard]] status_t _Walk(const std::string& start, const Components& components,
		size_t depth, bool create, BDirectory** folder, bool* created);
	[[nodiscard]] status_t _StartFolder(const std::string& start, BDirectory** folder);

	std::vector<std::string> fRoots;
	std::map<std::string, std::unique_ptr<BDirectory>> fStartFolders;
	// The folders open below fChainStart, outermost first.
	std::string fChainStart;
	std::vector<std::pair<std::string, std::unique_ptr<BDirectory>>> fChain;
};
