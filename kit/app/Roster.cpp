#include <app/Roster.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <app/Message.h>

#include "RosterPrivate.h"
#include "RuntimeFolder.h"
#include "SocketTransport.h"

extern char** environ;

namespace {

BRoster sRoster;

// A roster entry is small; anything larger is not one.
constexpr off_t kMaxEntrySize = 64 * 1024;

struct RosterEntry {
	app_info info;
	uint64 startTime = 0;
};

status_t ReadEntry(const std::string& path, RosterEntry* entry)
{
	int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
	if (fd < 0)
		return B_BAD_TEAM_ID;
	struct stat status;
	std::vector<char> bytes;
	if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kMaxEntrySize) {
		bytes.resize(size_t(status.st_size));
		if (read(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
			bytes.clear();
	}
	close(fd);
	BMessage message;
	if (bytes.empty() || message.Unflatten(bytes.data(), bytes.size()) != B_OK)
		return B_BAD_DATA;
	entry->info.team = message.GetInt32("team", -1);
	entry->info.thread = message.GetInt32("thread", -1);
	entry->info.port = message.GetInt32("port", -1);
	entry->info.signature = message.GetString("signature", "");
	entry->info.path = message.GetString("path", "");
	entry->startTime = uint64(message.GetInt64("start", 0));
	return entry->info.team > 0 ? B_OK : B_BAD_DATA;
}

void RemoveLeftovers(const std::string& folder, team_id team)
{
	unlink(MorvaneKit::TeamInfoPath(folder, team).c_str());
	unlink(MorvaneKit::TeamSocketPath(folder, team).c_str());
}

// The live entry of a team; a dead team's leftovers are removed.
status_t LiveEntry(const std::string& folder, team_id team, RosterEntry* entry)
{
	status_t status = ReadEntry(MorvaneKit::TeamInfoPath(folder, team), entry);
	if (status == B_BAD_TEAM_ID)
		return status;
	if (status != B_OK || entry->info.team != team
		|| !MorvaneKit::IsTeamAlive(team, entry->startTime)) {
		if (!MorvaneKit::IsTeamAlive(team))
			RemoveLeftovers(folder, team);
		return B_BAD_TEAM_ID;
	}
	return B_OK;
}

std::vector<RosterEntry> LiveEntries()
{
	std::vector<RosterEntry> entries;
	std::string folder;
	if (MorvaneKit::GetRuntimeFolder(&folder) != B_OK)
		return entries;
	DIR* directory = opendir(folder.c_str());
	if (directory == nullptr)
		return entries;
	while (dirent* item = readdir(directory)) {
		int team;
		char suffix[8];
		if (sscanf(item->d_name, "%d.%7s", &team, suffix) != 2 || strcmp(suffix, "app") != 0)
			continue;
		RosterEntry entry;
		if (LiveEntry(folder, team, &entry) == B_OK)
			entries.push_back(entry);
	}
	closedir(directory);
	std::sort(entries.begin(), entries.end(), [](const RosterEntry& a, const RosterEntry& b) {
		return a.startTime != b.startTime ? a.startTime < b.startTime
			: a.info.team < b.info.team;
	});
	return entries;
}

bool MatchesSignature(const app_info& info, const char* signature)
{
	return signature == nullptr || strcasecmp(info.signature.c_str(), signature) == 0;
}

}	// namespace

const BRoster* be_roster = &sRoster;

void BRoster::GetAppList(const char* signature, std::vector<team_id>* teams) const
{
	teams->clear();
	for (const RosterEntry& entry : LiveEntries()) {
		if (MatchesSignature(entry.info, signature))
			teams->push_back(entry.info.team);
	}
}

void BRoster::GetAppList(std::vector<team_id>* teams) const
{
	GetAppList(nullptr, teams);
}

team_id BRoster::TeamFor(const char* signature) const
{
	std::vector<team_id> teams;
	GetAppList(signature, &teams);
	return teams.empty() ? B_ERROR : teams.front();
}

bool BRoster::IsRunning(const char* signature) const
{
	return TeamFor(signature) >= 0;
}

status_t BRoster::GetRunningAppInfo(team_id team, app_info* info) const
{
	if (info == nullptr)
		return B_BAD_VALUE;
	std::string folder;
	status_t status = MorvaneKit::GetRuntimeFolder(&folder);
	if (status != B_OK)
		return status;
	RosterEntry entry;
	status = LiveEntry(folder, team, &entry);
	if (status == B_OK)
		*info = entry.info;
	return status;
}

status_t BRoster::GetAppInfo(const char* signature, app_info* info) const
{
	team_id team = TeamFor(signature);
	if (team < 0)
		return B_ENTRY_NOT_FOUND;
	return GetRunningAppInfo(team, info);
}

status_t BRoster::Launch(const char* programPath, const std::vector<std::string>& arguments,
	team_id* team) const
{
	if (programPath == nullptr)
		return B_BAD_VALUE;
	if (access(programPath, X_OK) != 0)
		return errno == ENOENT ? B_ENTRY_NOT_FOUND : B_LAUNCH_FAILED;
	std::vector<char*> argv;
	argv.push_back(const_cast<char*>(programPath));
	for (const std::string& argument : arguments)
		argv.push_back(const_cast<char*>(argument.c_str()));
	argv.push_back(nullptr);

	// The program must not become our child: nobody would reap it, and a
	// zombie would look alive to the roster. A short-lived middle process
	// starts it and ends, so that it is handed to init. Between fork and
	// exec only async-signal-safe calls are made. Each process writes a
	// record (team, errno) into the pipe; a successful exec closes it.
	int report[2];
	if (pipe2(report, O_CLOEXEC) != 0)
		return B_LAUNCH_FAILED;
	pid_t middle = fork();
	if (middle < 0) {
		close(report[0]);
		close(report[1]);
		return B_LAUNCH_FAILED;
	}
	if (middle == 0) {
		// The program runs on its own, in a session of its own and away from
		// the caller's terminal.
		setsid();
		int null = open("/dev/null", O_RDWR);
		if (null >= 0) {
			dup2(null, STDIN_FILENO);
			dup2(null, STDOUT_FILENO);
			dup2(null, STDERR_FILENO);
			if (null > STDERR_FILENO)
				close(null);
		}
		pid_t child = fork();
		if (child == 0) {
			execve(programPath, argv.data(), environ);
			int32 failure[2] = {-1, errno};
			(void)!write(report[1], failure, sizeof(failure));
			_exit(127);
		}
		int32 started[2] = {int32(child), child > 0 ? 0 : errno};
		(void)!write(report[1], started, sizeof(started));
		_exit(0);
	}
	close(report[1]);
	int32 records[4] = {-1, EIO, 0, 0};
	size_t have = 0;
	while (have < sizeof(records)) {
		ssize_t got = read(report[0], reinterpret_cast<char*>(records) + have,
			sizeof(records) - have);
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0)
			break;
		have += size_t(got);
	}
	close(report[0]);
	while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
	}
	int32 answer[2] = {records[0], records[1]};
	bool execFailed = have >= 16 && records[2] == -1;
	if (have < 8 || answer[0] <= 0 || execFailed)
		return B_LAUNCH_FAILED;
	if (team != nullptr)
		*team = answer[0];
	return B_OK;
}

namespace MorvaneKit {

status_t RegisterApplication(const char* signature, port_id port)
{
	SocketTransport::SetApplicationPort(port);
	status_t status = SocketTransport::Default()->StartListening();
	std::string folder;
	if (status == B_OK)
		status = GetRuntimeFolder(&folder);
	if (status != B_OK) {
		fprintf(stderr, "morvane: the application cannot be reached from other processes: %s\n",
			strerror_status(status));
		return status;
	}
	char program[4096];
	ssize_t length = readlink("/proc/self/exe", program, sizeof(program) - 1);
	program[length > 0 ? length : 0] = '\0';
	BMessage entry('RSTR');
	entry.AddString("signature", signature != nullptr ? signature : "");
	entry.AddInt32("team", current_team());
	entry.AddInt32("thread", find_thread(nullptr));
	entry.AddInt32("port", port);
	entry.AddString("path", program);
	entry.AddInt64("start", int64(TeamStartTime(current_team())));
	std::vector<char> bytes;
	status = entry.Flatten(&bytes);
	if (status != B_OK)
		return status;
	// Written beside and renamed into place, so that the roster never reads
	// half an entry.
	std::string path = TeamInfoPath(folder, current_team());
	std::string temporary = path + ".new";
	int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	if (fd < 0)
		return StatusFromErrno();
	bool written = write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
	close(fd);
	if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
		unlink(temporary.c_str());
		return B_IO_ERROR;
	}
	return B_OK;
}

void UnregisterApplication()
{
	SocketTransport::SetApplicationPort(-1);
	std::string folder;
	if (GetRuntimeFolder(&folder) == B_OK)
		unlink(TeamInfoPath(folder, current_team()).c_str());
}

}	// namespace MorvaneKit
