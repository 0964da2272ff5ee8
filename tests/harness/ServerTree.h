#pragma once

// ServerTree: a copy of the installed tree (the build's dist/MorvaneBackup)
// in a test folder of its own, from which a test starts real servers. The
// folder is the only volume of the servers it starts (MORVANE_VOLUMES), so
// their "logdata", log file and add-on folders land in the copy; they meet
// the test's own applications in the test program's runtime folder.
//
// Servers started here must end before the tree is removed: declare the tree
// before the processes, so that they go first.
//
// Used by one thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestFolder.h"

class ServerTree {
public:
	// The volume name of the copy, so that its system paths are
	// "/<kVolumeName>/MorvaneBackup/...".
	static constexpr const char* kVolumeName = "ServerTest";

	ServerTree();

	// False when the installed tree could not be copied.
	bool IsValid() const { return fValid; }
	// Native paths inside the copy.
	std::string ServerFolder() const;
	std::string ServerProgram() const;
	std::string LogPath() const;
	// The variables a process needs to run on this tree.
	std::vector<std::string> Environment() const;

	// Starts MorvaneServer of the copy; null when it cannot be started.
	std::unique_ptr<ChildProcess> StartServer(const std::vector<std::string>& arguments = {}) const;

	// The server's log file as it is now; empty when there is none.
	std::string ReadLog() const;
	// Waits up to timeout microseconds for a line of the log that contains
	// text.
	bool AwaitLogLine(const std::string& text, bigtime_t timeout) const;

private:
	TestFolder fFolder;
	bool fValid = false;
};

// Waits up to timeout microseconds until the roster lists the team as a
// running application.
bool AwaitRegistered(team_id team, bigtime_t timeout);
