#pragma once

// The commands that read backups on a destination back into the catalogue:
// `morvane scan --from DIR` lists the backups an image folder holds,
// marking those the catalogue knows; `morvane insert --from DIR [ID...]`
// reads the named ones (by default every one the catalogue does not know)
// into the catalogue and follows the job.

#include <memory>
#include <string>

#include "Command.h"

namespace InsertCommands {

// "scan" or "insert"; null for other names.
std::unique_ptr<Command> Make(const std::string& name);

}	// namespace InsertCommands
