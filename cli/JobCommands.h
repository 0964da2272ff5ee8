#pragma once

// The job commands of `morvane`: list the queue, and start, pause, continue,
// abort or remove one job. Each returns an exit status.

#include <string>

#include <support/SupportDefs.h>

class ServerConnection;

int ListJobs(ServerConnection& server, bool json);
// verb is "start", "pause", "continue", "abort" or "remove".
int ControlJob(ServerConnection& server, const std::string& verb, int32 jobId);

bool IsJobVerb(const std::string& verb);
const char* JobTypeName(int32 jobType);
const char* JobStateName(int32 state);
