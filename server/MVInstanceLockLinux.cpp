#include "MVInstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string RuntimeFolderPath()
{
	const char* folder = getenv("MORVANE_RUNTIME_DIR");
	if (folder != nullptr && folder[0] != '\0')
		return folder;
	const char* userFolder = getenv("XDG_RUNTIME_DIR");
	if (userFolder != nullptr && userFolder[0] != '\0')
		return std::string(userFolder) + "/morvane";
	return "/tmp/morvane-" + std::to_string(getuid());
}

// Someone else's folder, or one that others may enter, could be used to
// keep our server from starting; it is not used.
bool IsPrivateFolder(const struct stat& status)
{
	return S_ISDIR(status.st_mode) && status.st_uid == getuid()
		&& (status.st_mode & 077) == 0;
}

}	// namespace

MVInstanceLock::~MVInstanceLock()
{
	Release();
}

status_t MVInstanceLock::GetRuntimeFolder(std::string* folder)
{
	std::string path = RuntimeFolderPath();
	if (path.empty() || path[0] != '/')
		return B_BAD_VALUE;
	if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
		return StatusFromErrno();
	struct stat status;
	if (lstat(path.c_str(), &status) != 0)
		return StatusFromErrno();
	if (!IsPrivateFolder(status))
		return B_NOT_ALLOWED;
	*folder = path;
	return B_OK;
}

status_t MVInstanceLock::Acquire(const char* folder)
{
	if (fFD >= 0)
		return B_OK;
	std::string path;
	if (folder != nullptr) {
		path = folder;
	} else {
		status_t status = GetRuntimeFolder(&path);
		if (status != B_OK)
			return status;
	}
	path += "/";
	path += kFileName;
	// Close-on-exec: a program the server starts must not inherit the claim.
	int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
	if (fd < 0)
		return StatusFromErrno();
	int result;
	do {
		result = flock(fd, LOCK_EX | LOCK_NB);
	} while (result != 0 && errno == EINTR);
	if (result != 0) {
		status_t status = errno == EWOULDBLOCK ? B_BUSY : StatusFromErrno();
		close(fd);
		return status;
	}
	fFD = fd;
	return B_OK;
}

void MVInstanceLock::Release()
{
	if (fFD < 0)
		return;
	close(fFD);
	fFD = -1;
}
