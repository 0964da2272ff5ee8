#include "MVInstanceLock.h"

#include <cerrno>
#include <cstdint>
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
	// Should the id not go in, the claim still holds; only its holder
	// cannot be named.
	std::string pid = std::to_string(getpid()) + "\n";
	if (ftruncate(fd, 0) == 0)
		(void)!pwrite(fd, pid.data(), pid.size(), 0);
	return B_OK;
}

pid_t MVInstanceLock::HolderOf(const char* folder)
{
	std::string path = std::string(folder) + "/" + kFileName;
	int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
	if (fd < 0)
		return 0;
	char text[16] = {};
	ssize_t got = read(fd, text, sizeof(text) - 1);
	close(fd);
	if (got <= 0)
		return 0;
	char* end = nullptr;
	long pid = strtol(text, &end, 10);
	return pid > 0 && pid < INT32_MAX && (*end == '\n' || *end == '\0') ? pid_t(pid) : 0;
}

void MVInstanceLock::Release()
{
	if (fFD < 0)
		return;
	close(fFD);
	fFD = -1;
}
