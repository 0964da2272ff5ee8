#include "StoragePrivate.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include <storage/StorageDefs.h>

namespace MorvaneKit {

status_t JoinSystemPath(const char* base, const char* path, std::string* joined)
{
	if (path == nullptr || joined == nullptr)
		return B_BAD_VALUE;
	if (path[0] == '/') {
		*joined = path;
		return B_OK;
	}
	if (base == nullptr || base[0] != '/')
		return B_BAD_VALUE;
	*joined = base;
	if (joined->back() != '/')
		*joined += '/';
	*joined += path;
	return B_OK;
}


std::string NativeParent(const std::string& native)
{
	size_t slash = native.rfind('/');
	if (slash == std::string::npos || slash == 0)
		return "/";
	return native.substr(0, slash);
}


status_t LocateEntry(const char* path, bool traverse, VolumeTable::Location* location)
{
	status_t status = VolumeTable::Locate(path, location);
	if (status != B_OK)
		return status;
	if (!location->IsRoot() && !location->IsVolumeRoot()) {
		struct stat folder;
		if (stat(NativeParent(location->native).c_str(), &folder) != 0)
			return StatusFromErrno();
		if (!S_ISDIR(folder.st_mode))
			return B_NOT_A_DIRECTORY;
	}
	return traverse ? FollowLinks(location) : B_OK;
}


status_t ReadLinkText(const std::string& native, std::string* text)
{
	char buffer[PATH_MAX + 1];
	ssize_t length = readlink(native.c_str(), buffer, sizeof(buffer));
	if (length < 0)
		return StatusFromErrno();
	if (size_t(length) >= sizeof(buffer))
		return B_NAME_TOO_LONG;
	text->assign(buffer, size_t(length));
	return B_OK;
}


status_t FollowLinks(VolumeTable::Location* location)
{
	for (int hop = 0; hop < kMaxLinkHops; hop++) {
		if (location->IsRoot())
			return B_OK;
		struct stat status;
		if (lstat(location->native.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
			return B_OK;
		std::string text;
		status_t result = ReadLinkText(location->native, &text);
		if (result != B_OK)
			return result;
		if (text.empty())
			return B_ENTRY_NOT_FOUND;
		std::string target = text[0] == '/' ? text
			: NativeParent(location->native) + "/" + text;
		std::string system;
		if (VolumeTable::ToSystem(target.c_str(), &system) != B_OK)
			return B_ENTRY_NOT_FOUND;
		result = VolumeTable::Locate(system.c_str(), location);
		if (result != B_OK)
			return result;
	}
	return B_LINK_LIMIT;
}


bool IsUsableLeafName(const char* name)
{
	return name != nullptr && name[0] != '\0' && strchr(name, '/') == nullptr
		&& strcmp(name, ".") != 0 && strcmp(name, "..") != 0
		&& strlen(name) < B_FILE_NAME_LENGTH;
}

}	// namespace MorvaneKit
