#include "RuntimeFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MorvaneKit {

namespace {

std::string ChooseFolder()
{
	if (const char* folder = getenv("MORVANE_RUNTIME_DIR"); folder != nullptr && *folder != '\0')
		return folder;
	if (const char* folder = getenv("XDG_RUNTIME_DIR"); folder != nullptr && *folder != '\0')
		return std::string(folder) + "/morvane";
	return "/tmp/morvane-" + std::to_string(getuid());
}

status_t PrepareFolder(const std::string& folder)
{
	if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
		return StatusFromErrno();
	struct stat status;
	if (lstat(folder.c_str(), &status) != 0)
		return StatusFromErrno();
	// Another user's folder, or one others may enter, could be used to
	// intercept or fake messages.
	if (!S_ISDIR(status.st_mode) || status.st_uid != getuid() || (status.st_mode & 077) != 0)
		return B_PERMISSION_DENIED;
	return B_OK;
}

// The fields of /proc/<team>/stat after the command name, which may itself
// hold spaces and parentheses.
bool ReadStatFields(team_id team, char* state, uint64* startTime)
{
	char path[64];
	snprintf(path, sizeof(path), "/proc/%d/stat", int(team));
	int fd = open(path, O_RDONLY | O_CLOEXEC);
	if (fd < 0)
		return false;
	char buffer[1024];
	ssize_t length = read(fd, buffer, sizeof(buffer) - 1);
	close(fd);
	if (length <= 0)
		return false;
	buffer[length] = '\0';
	const char* rest = strrchr(buffer, ')');
	if (rest == nullptr || rest[1] != ' ')
		return false;
	rest += 2;
	*state = *rest;
	// The start time is field 22; the state is field 3.
	for (int field = 3; field < 22; field++) {
		rest = strchr(rest, ' ');
		if (rest == nullptr)
			return false;
		rest++;
	}
	*startTime = strtoull(rest, nullptr, 10);
	return true;
}

}	// namespace

status_t GetRuntimeFolder(std::string* path)
{
	static std::once_flag sOnce;
	static std::string sFolder;
	static status_t sStatus = B_NO_INIT;
	std::call_once(sOnce, [] {
		sFolder = ChooseFolder();
		sStatus = PrepareFolder(sFolder);
		if (sStatus != B_OK) {
			fprintf(stderr, "morvane: cannot use the runtime folder %s: %s\n", sFolder.c_str(),
				strerror_status(sStatus));
		}
	});
	*path = sFolder;
	return sStatus;
}

std::string TeamSocketPath(const std::string& folder, team_id team)
{
	return folder + "/" + std::to_string(team) + ".sock";
}

std::string TeamInfoPath(const std::string& folder, team_id team)
{
	return folder + "/" + std::to_string(team) + ".app";
}

uint64 TeamStartTime(team_id team)
{
	char state;
	uint64 startTime;
	return team > 0 && ReadStatFields(team, &state, &startTime) ? startTime : 0;
}

bool IsTeamAlive(team_id team, uint64 startTime)
{
	if (team <= 0)
		return false;
	char state;
	uint64 actualStart;
	if (!ReadStatFields(team, &state, &actualStart))
		return false;
	if (state == 'Z' || state == 'X')
		return false;
	return startTime == 0 || startTime == actualStart;
}

}	// namespace MorvaneKit
