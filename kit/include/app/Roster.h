#pragma once

// The roster knows the applications running for this user: every
// BApplication registers itself in the runtime folder (see RuntimeFolder.h)
// under its team id with its signature; entries of processes that have ended
// are ignored and cleaned away. be_roster is usable from any thread.

#include <string>
#include <vector>

#include <kernel/OS.h>
#include <support/Errors.h>

struct app_info {
	team_id team = -1;
	thread_id thread = -1;
	port_id port = -1;
	uint32 flags = 0;
	// The application's signature and the native path of its program file.
	std::string signature;
	std::string path;
};

class BRoster {
public:
	// The teams of the running applications with that signature, oldest
	// first; all running applications when signature is null.
	void GetAppList(const char* signature, std::vector<team_id>* teams) const;
	void GetAppList(std::vector<team_id>* teams) const;
	// The first running team of that signature, or B_ERROR.
	team_id TeamFor(const char* signature) const;
	bool IsRunning(const char* signature) const;
	// B_BAD_TEAM_ID once the team has ended (or never registered).
	[[nodiscard]] status_t GetRunningAppInfo(team_id team, app_info* info) const;
	[[nodiscard]] status_t GetAppInfo(const char* signature, app_info* info) const;

	// Starts the program file with the arguments, as a process of its own
	// (not a child of the caller, in a session of its own, with standard
	// input and output on /dev/null); the new team in *team.
	// B_ENTRY_NOT_FOUND or B_LAUNCH_FAILED when it cannot be started.
	[[nodiscard]] status_t Launch(const char* programPath,
		const std::vector<std::string>& arguments = {}, team_id* team = nullptr) const;
};

extern const BRoster* be_roster;
