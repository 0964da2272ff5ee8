#pragma once

// Runs a helper program found on the PATH (systemctl, update-mime-database,
// ...) and collects what it prints, stdout and stderr together.

#include <string>
#include <vector>

// RunProgram's results when no exit status is there to return.
constexpr int kProgramMissing = -1;  // the program is not on the PATH
constexpr int kProgramFailed = -2;   // it could not be started, or did not exit normally

// Runs words[0], searched on the PATH, with the other words as its
// arguments and waits for it; its exit status, or one of the above with
// *output saying why.
int RunProgram(const std::vector<std::string>& words, std::string* output);
