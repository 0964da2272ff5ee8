#pragma once

// Every command of `morvane` by name, and the general usage text.

#include <memory>
#include <string>

#include "Command.h"

class CommandTable {
public:
	// A new command object, or null for an unknown name.
	static std::unique_ptr<Command> Make(const std::string& name);
	static const char* Usage();
};
