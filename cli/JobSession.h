#pragma once

// What backup, restore and wait share: reading the job queue, submitting a
// job and following a job to its end with a JobFollower. The functions run
// on the command's thread.

#include <string>

#include <app/Message.h>

class ClientApplication;
class CommandLine;
class ServerConnection;

struct FollowSettings {
	bool wait = true;               // false: submit and return
	std::string mediaCommand;       // run for a question instead of asking
	// Every report line, the items and settings included; by default only
	// the progress, warnings, errors, notices and the summary.
	bool verbose = false;
	// Start the job at once rather than at the scheduler's next look at
	// the queue, which may be seconds away.
	bool startNow = true;
};

namespace JobSession {

// The options of following a job: --on-media-change CMD and --verbose.
void DeclareFollowOptions(CommandLine* line);
extern const char* const kFollowOptionsHelp;
// Reads them into *settings; false with *error set when one is unusable.
bool ReadFollowOptions(const CommandLine& line, FollowSettings* settings, std::string* error);
// The "title" option into *title ("" when not given); false with *error set
// when it is empty or longer than a title may be.
bool ReadTitleOption(const CommandLine& line, std::string* title, std::string* error);

[[nodiscard]] status_t FetchJobIndex(ServerConnection& server, BMessage* index);
// The slot of the job in the index, or -1.
int32 FindSlot(const BMessage& index, int32 jobId);

// Adds "client_id" and sends the job ('MVJA'). Prints the new job's id and,
// with settings.wait, follows it; the exit status.
int Submit(ServerConnection& server, ClientApplication& application, BMessage* job,
	const FollowSettings& settings);

// Follows a queued job until it ends: subscribed now when its worker runs,
// else when it starts. The exit status; 3 when the job is not queued.
int Follow(ServerConnection& server, ClientApplication& application, int32 jobId,
	const FollowSettings& settings);

}	// namespace JobSession
