#include "JobSession.h"

#include <cstdio>
#include <unistd.h>

#include <app/Messenger.h>

#include "ClientApplication.h"
#include "CommandLine.h"
#include "ExitStatus.h"
#include "JobFollower.h"
#include "JobTitle.h"
#include "ServerConnection.h"
#include "ServerProtocol.h"

namespace JobSession {

namespace {

JobFollower::JobPresence Presence(ServerConnection& server, int32 jobId)
{
	BMessage index;
	if (FetchJobIndex(server, &index) != B_OK) {
		return server.IsServerRunning() ? JobFollower::JobPresence::Unknown
			: JobFollower::JobPresence::ServerGone;
	}
	int32 slot = FindSlot(index, jobId);
	if (slot < 0)
		return JobFollower::JobPresence::Gone;
	BMessenger worker;
	if (index.FindMessenger("server", slot, &worker) == B_OK && worker.IsValid())
		return JobFollower::JobPresence::Running;
	return JobFollower::JobPresence::Idle;
}

int RunFollower(ServerConnection& server, ClientApplication& application, int32 jobId,
	const FollowSettings& settings, bool started)
{
	JobFollower follower(application.Events(), stdout, isatty(STDOUT_FILENO) != 0);
	follower.SetInteractive(isatty(STDIN_FILENO) != 0);
	follower.SetMediaCommand(settings.mediaCommand);
	follower.SetVerbose(settings.verbose);
	follower.SetStarted(started);
	follower.SetSender([&server](const BMessage& message) {
		if (server.Post(message) != B_OK)
			fprintf(stderr, "morvane: cannot send the answer to the server\n");
	});
	follower.SetProbe([&server, jobId] { return Presence(server, jobId); });
	JobFollower::InstallInterruptHandler();
	int result = follower.Follow(jobId);
	application.Follow(0);
	return result;
}

}	// namespace

const char* const kFollowOptionsHelp =
	"  --on-media-change CMD answer a media question by running CMD with /bin/sh:\n"
	"                        exit status 0 continues, any other aborts the job.\n"
	"                        Without it the question is asked on the terminal; with\n"
	"                        no terminal on stdin the job is aborted.\n"
	"  --verbose             print every report line, each saved or restored item\n"
	"                        and the settings included (by default: progress,\n"
	"                        warnings, errors and the summary)\n";

void DeclareFollowOptions(CommandLine* line)
{
	line->Value("on-media-change");
	line->Flag("verbose");
}

bool ReadTitleOption(const CommandLine& line, std::string* title, std::string* error)
{
	*title = line.Get("title");
	if (line.Has("title") && title->empty()) {
		*error = "the title is empty";
		return false;
	}
	if (title->size() > kMaxTitleBytes) {
		*error = "the title is longer than " + std::to_string(kMaxTitleBytes) + " bytes";
		return false;
	}
	return true;
}

bool ReadFollowOptions(const CommandLine& line, FollowSettings* settings, std::string* error)
{
	settings->mediaCommand = line.Get("on-media-change");
	settings->verbose = line.Has("verbose");
	if (line.Has("on-media-change") && settings->mediaCommand.empty()) {
		*error = "--on-media-change needs a command";
		return false;
	}
	return true;
}

status_t FetchJobIndex(ServerConnection& server, BMessage* index)
{
	return server.Request(BMessage(kMsgJobList), index);
}

int32 FindSlot(const BMessage& index, int32 jobId)
{
	int32 id;
	for (int32 slot = 0; index.FindInt32("job_id", slot, &id) == B_OK; slot++) {
		if (id == jobId)
			return slot;
	}
	return -1;
}

int Submit(ServerConnection& server, ClientApplication& application, BMessage* job,
	const FollowSettings& settings)
{
	job->what = kMsgJobAdd;
	job->SetInt32("client_id", current_team());
	if (settings.wait)
		application.BeginSubmit();
	BMessage reply;
	status_t status = server.Request(*job, &reply);
	int32 jobId = reply.GetInt32("job_id", 0);
	if (status != B_OK || reply.what != kMsgJobAccepted || jobId == 0) {
		application.EndSubmit();
		const char* why = status != B_OK ? strerror_status(status)
			: reply.what == kMsgJobRefused ? reply.GetString("error", nullptr) : nullptr;
		fprintf(stderr, "morvane: the server did not accept the job%s%s\n",
			why != nullptr ? ": " : "", why != nullptr ? why : "");
		return kExitFailure;
	}
	printf("Job %d submitted.\n", jobId);
	fflush(stdout);
	if (settings.startNow) {
		BMessage begin(kMsgJobBegin);
		begin.AddInt32("job_id", jobId);
		(void)server.Post(begin);
	}
	if (!settings.wait) {
		application.EndSubmit();
		return kExitSuccess;
	}
	application.Follow(jobId);
	return RunFollower(server, application, jobId, settings, false);
}

int Follow(ServerConnection& server, ClientApplication& application, int32 jobId,
	const FollowSettings& settings)
{
	// Following first, then looking: a job that starts in between is
	// caught by its start notice.
	application.Follow(jobId);
	BMessage index;
	status_t status = FetchJobIndex(server, &index);
	int32 slot = status == B_OK ? FindSlot(index, jobId) : -1;
	if (slot < 0) {
		application.Follow(0);
		if (status != B_OK)
			fprintf(stderr, "morvane: cannot read the job queue: %s\n", strerror_status(status));
		else
			fprintf(stderr, "morvane: there is no job %d\n", jobId);
		return kExitFailure;
	}
	BMessenger worker;
	bool running = index.FindMessenger("server", slot, &worker) == B_OK && worker.IsValid();
	if (running) {
		BMessage subscribe(kMsgSubscribe);
		subscribe.AddInt32("job_id", jobId);
		subscribe.AddMessenger("user", application.FollowerMessenger());
		if (server.Post(subscribe) != B_OK) {
			application.Follow(0);
			fprintf(stderr, "morvane: cannot reach the server\n");
			return kExitFailure;
		}
	} else {
		printf("Job %d waits for its start.\n", jobId);
		fflush(stdout);
	}
	return RunFollower(server, application, jobId, settings, running);
}

}	// namespace JobSession
