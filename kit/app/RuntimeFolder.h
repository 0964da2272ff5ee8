#pragma once

// The folder where the applications of one user meet: each has a socket
// "<team>.sock" there, and each BApplication an entry "<team>.app" with its
// signature. It is $MORVANE_RUNTIME_DIR, else $XDG_RUNTIME_DIR/morvane, else
// /tmp/morvane-<uid>, created with mode 0700; an existing folder is used only
// when it belongs to the user and nobody else may enter it. The choice is
// made once per process.

#include <string>

#include <kernel/OS.h>

namespace MorvaneKit {

[[nodiscard]] status_t GetRuntimeFolder(std::string* path);

std::string TeamSocketPath(const std::string& folder, team_id team);
std::string TeamInfoPath(const std::string& folder, team_id team);

// When the process started, in clock ticks since boot; 0 when it is gone.
// Together with the team id it names one process, even after the id is reused.
uint64 TeamStartTime(team_id team);
// True while the process runs (not ended, not a zombie) and, when
// startTime is not 0, is the same process that started then.
bool IsTeamAlive(team_id team, uint64 startTime = 0);

}	// namespace MorvaneKit
