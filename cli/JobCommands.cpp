#include "JobCommands.h"

#include <cstdio>
#include <ctime>

#include "ExitStatus.h"
#include "JsonWriter.h"
#include "ServerConnection.h"
#include "ServerProtocol.h"

namespace {

struct JobVerb {
	const char* verb;
	uint32 code;
	int32 flag;      // "flag" of 'MVJD'; -1 for none
};

constexpr JobVerb kJobVerbs[] = {
	{"start", kMsgJobBegin, -1},
	{"pause", kMsgJobPause, -1},
	{"continue", kMsgJobContinue, -1},
	{"abort", kMsgJobDelete, 1},
	{"remove", kMsgJobDelete, 0},
};

const JobVerb* FindVerb(const std::string& verb)
{
	for (const JobVerb& candidate : kJobVerbs) {
		if (verb == candidate.verb)
			return &candidate;
	}
	return nullptr;
}

std::string LocalTime(int32 seconds)
{
	time_t when = seconds;
	tm local;
	char text[32];
	if (localtime_r(&when, &local) == nullptr || strftime(text, sizeof(text), "%Y-%m-%d %H:%M",
			&local) == 0) {
		return "-";
	}
	return text;
}

status_t FetchJobIndex(ServerConnection& server, BMessage* index)
{
	return server.Request(BMessage(kMsgJobList), index);
}

int32 CountJobs(const BMessage& index)
{
	type_code type;
	int32 count = 0;
	return index.GetInfo("job_id", &type, &count) == B_OK ? count : 0;
}

bool HasJob(const BMessage& index, int32 jobId)
{
	for (int32 slot = 0; slot < CountJobs(index); slot++) {
		if (index.GetInt32("job_id", slot, 0) == jobId)
			return true;
	}
	return false;
}

}	// namespace

const char* JobTypeName(int32 jobType)
{
	static const char* const kNames[] = {"?", "full backup", "incremental", "differential",
		"restore", "compare", "insert"};
	return jobType >= 1 && jobType <= 6 ? kNames[jobType] : kNames[0];
}

const char* JobStateName(int32 state)
{
	static const char* const kNames[] = {"?", "waiting", "running", "paused", "edit"};
	return state >= 1 && state <= 4 ? kNames[state] : kNames[0];
}

bool IsJobVerb(const std::string& verb)
{
	return FindVerb(verb) != nullptr;
}

int ListJobs(ServerConnection& server, bool json)
{
	BMessage index;
	status_t status = FetchJobIndex(server, &index);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot read the job queue: %s\n", strerror_status(status));
		return kExitFailure;
	}
	int32 count = CountJobs(index);
	if (json) {
		JsonWriter writer(stdout);
		writer.BeginArray();
		for (int32 slot = 0; slot < count; slot++) {
			int32 date = 0;
			(void)index.FindTime("date", slot, &date);
			writer.BeginObject();
			writer.Field("id", int64(index.GetInt32("job_id", slot, 0)));
			writer.Field("title", std::string(index.GetString("title", slot, "")));
			writer.Field("date", int64(date));
			writer.Field("type", std::string(JobTypeName(index.GetInt32("job_type", slot, 0))));
			writer.Field("state", std::string(JobStateName(index.GetInt32("jobstatus", slot, 0))));
			writer.EndObject();
		}
		writer.EndArray();
		writer.Finish();
		return kExitSuccess;
	}
	if (count == 0) {
		printf("No jobs are queued.\n");
		return kExitSuccess;
	}
	printf("%-11s %-13s %-8s %-16s %s\n", "JOB", "TYPE", "STATE", "START", "TITLE");
	for (int32 slot = 0; slot < count; slot++) {
		int32 date = 0;
		(void)index.FindTime("date", slot, &date);
		printf("%-11d %-13s %-8s %-16s %s\n", index.GetInt32("job_id", slot, 0),
			JobTypeName(index.GetInt32("job_type", slot, 0)),
			JobStateName(index.GetInt32("jobstatus", slot, 0)), LocalTime(date).c_str(),
			index.GetString("title", slot, ""));
	}
	return kExitSuccess;
}

int ControlJob(ServerConnection& server, const std::string& verb, int32 jobId)
{
	const JobVerb* action = FindVerb(verb);
	if (action == nullptr)
		return kExitUsage;
	BMessage index;
	status_t status = FetchJobIndex(server, &index);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot read the job queue: %s\n", strerror_status(status));
		return kExitFailure;
	}
	if (!HasJob(index, jobId)) {
		fprintf(stderr, "morvane: there is no job %d\n", jobId);
		return kExitFailure;
	}
	BMessage request(action->code);
	request.AddInt32("job_id", jobId);
	if (action->flag >= 0)
		request.AddInt32("flag", action->flag);
	status = server.Post(request);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot reach the server: %s\n", strerror_status(status));
		return kExitFailure;
	}
	// The server answers these requests with broadcasts, not replies.
	printf("Asked the server to %s job %d.\n", action->verb, jobId);
	return kExitSuccess;
}
