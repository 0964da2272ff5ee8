#include "RestorePathGuard.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include <storage/VolumeTable.h>

namespace {

// The native path with every link resolved, or "" when it cannot be.
std::string Resolved(const std::string& native)
{
	char* resolved = realpath(native.c_str(), nullptr);
	if (resolved == nullptr)
		return std::string();
	std::string result(resolved);
	free(resolved);
	return result;
}

// The deepest existing folder at or above native, resolved.
std::string ResolvedExistingAncestor(std::string native)
{
	while (!native.empty()) {
		struct stat status;
		if (stat(native.c_str(), &status) == 0)
			return Resolved(native);
		size_t slash = native.rfind('/');
		if (slash == std::string::npos || slash == 0)
			return Resolved("/");
		native.erase(slash);
	}
	return std::string();
}

bool IsInside(const std::string& path, const std::string& root)
{
	if (root.empty() || path.empty())
		return false;
	if (root == "/")
		return true;
	return path.compare(0, root.size(), root) == 0
		&& (path.size() == root.size() || path[root.size()] == '/');
}

std::string ParentOf(const std::string& path)
{
	size_t slash = path.rfind('/');
	if (slash == std::string::npos || slash == 0)
		return "/";
	return path.substr(0, slash);
}

}	// namespace

void RestorePathGuard::AddRedirectionRoot(const char* path)
{
	if (path == nullptr || path[0] == '\0')
		return;
	std::string native;
	if (VolumeTable::ToNative(path, &native) != B_OK)
		return;
	// The folder may not exist yet: what counts is where its deepest
	// existing part really is, plus the rest of its name.
	std::string resolved = Resolved(native);
	if (resolved.empty()) {
		std::string existing = native;
		while (existing != "/" && Resolved(existing).empty())
			existing = ParentOf(existing);
		std::string base = Resolved(existing);
		std::string rest = native.substr(existing.size());
		resolved = base == "/" && !rest.empty() && rest[0] == '/' ? rest : base + rest;
		if (base == "/" && !rest.empty() && rest[0] != '/')
			resolved = "/" + rest;
	}
	fRoots.emplace_back(path, resolved);
}

void RestorePathGuard::NoteCreatedLink(const char* path)
{
	std::string native;
	struct stat status;
	if (VolumeTable::ToNative(path, &native) == B_OK && lstat(native.c_str(), &status) == 0)
		fCreatedLinks.emplace(status.st_dev, status.st_ino);
	Invalidate();
}

status_t RestorePathGuard::CheckTarget(const std::string& target, const char* redirection,
	bool writeThroughTarget)
{
	std::string native;
	if (VolumeTable::ToNative(target.c_str(), &native) != B_OK)
		return B_NOT_ALLOWED;
	std::string folder = writeThroughTarget ? native : ParentOf(native);
	std::string redirectionText = redirection != nullptr ? redirection : "";
	if (folder == fCheckedFolder && redirectionText == fCheckedRedirection)
		return B_OK;

	if (_PassesCreatedLink(folder, 1))
		return B_NOT_ALLOWED;
	if (redirection != nullptr && !_InsideRoot(folder, redirection))
		return B_NOT_ALLOWED;
	// A folder that does not exist yet is checked again next time: it may
	// be made by then.
	struct stat status;
	if (stat(folder.c_str(), &status) == 0) {
		fCheckedFolder = folder;
		fCheckedRedirection = redirectionText;
	}
	return B_OK;
}

bool RestorePathGuard::_PassesCreatedLink(const std::string& native, size_t from) const
{
	if (fCreatedLinks.empty())
		return false;
	// Every prefix of the path that is a link is looked at; a link made
	// by this restore is never gone through.
	size_t end = from;
	while (end <= native.size()) {
		end = native.find('/', end);
		if (end == std::string::npos)
			end = native.size();
		std::string prefix = native.substr(0, end);
		struct stat status;
		if (lstat(prefix.c_str(), &status) != 0)
			return false;
		if (S_ISLNK(status.st_mode)
			&& fCreatedLinks.count({status.st_dev, status.st_ino}) != 0)
			return true;
		end++;
	}
	return false;
}

const std::string* RestorePathGuard::_RootFor(const char* redirection) const
{
	const std::string* best = nullptr;
	size_t bestLength = 0;
	std::string text(redirection);
	for (const auto& [path, resolved] : fRoots) {
		bool covers = text.compare(0, path.size(), path) == 0
			&& (text.size() == path.size() || text[path.size()] == '/');
		if (covers && path.size() >= bestLength) {
			best = &resolved;
			bestLength = path.size();
		}
	}
	return best;
}

bool RestorePathGuard::_InsideRoot(const std::string& native, const char* redirection) const
{
	const std::string* root = _RootFor(redirection);
	if (root == nullptr)
		return false;
	return IsInside(ResolvedExistingAncestor(native), *root);
}
