#pragma once

// The job commands of `morvane`: list the queue (jobs), start, pause,
// continue, abort or remove one job, and wait for a job's end (wait).

#include <memory>
#include <string>

#include <support/SupportDefs.h>

#include "Command.h"

namespace JobCommands {

// "jobs", "wait" or one of the verbs; null for other names.
std::unique_ptr<Command> Make(const std::string& name);

bool IsJobVerb(const std::string& verb);
const char* JobTypeName(int32 jobType);
const char* JobStateName(int32 state);
// A job id operand: a decimal int32 other than 0 (the server draws ids
// from the whole int32 range).
bool ParseJobId(const std::string& text, int32* jobId);

}	// namespace JobCommands
