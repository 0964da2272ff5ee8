#pragma once

// The commands for tape drives, which work on the drives directly and never
// reach the server:
//   morvane drives [--json]: the tape drives, as the drive menu lists them;
//   morvane tape status|rewind|eject|retension|erase [--complete] DEVICE.

#include <memory>
#include <string>

#include "Command.h"

namespace TapeCommands {

// The command of that name, or null.
std::unique_ptr<Command> Make(const std::string& name);

}	// namespace TapeCommands
