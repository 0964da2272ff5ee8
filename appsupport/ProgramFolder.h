#pragma once

// The folder that holds the running program, in the system's "/<volume>/..."
// form: the folder of /proc/self/exe, translated through the volume table.
// B_ENTRY_NOT_FOUND when the program lies on no volume of the table.

#include <string>

#include <support/Errors.h>

[[nodiscard]] status_t GetProgramFolder(std::string* folder);
