#include "JobCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ExitStatus.h"
#include "JobSession.h"
#include "JsonWriter.h"
#include "ReportText.h"
#include "ServerConnection.h"
#include "ServerProtocol.h"
#include "TerminalText.h"

namespace JobCommands {

namespace {

struct JobVerb {
	const char* verb;
	uint32 code;
	int32 flag;      // "flag" of 'MVJD'; -1 for none
	const char* help;
};

constexpr JobVerb kJobVerbs[] = {
	{"start", kMsgJobBegin, -1,
		"Usage: morvane start JOB\n\nStarts the queued job JOB now, releasing it first when it is held.\n"},
	{"pause", kMsgJobPause, -1,
		"Usage: morvane pause JOB\n\nPauses the running job JOB, or holds it while it waits.\n"},
	{"continue", kMsgJobContinue, -1,
		"Usage: morvane continue JOB\n\nContinues the paused or held job JOB.\n"},
	{"abort", kMsgJobDelete, 1,
		"Usage: morvane abort JOB\n\nAborts the running job JOB. A repeating job, or one started"
		" before its time, stays in the queue and waits for its next time; any other job leaves"
		" the queue when its worker ends.\n"},
	{"remove", kMsgJobDelete, 0,
		"Usage: morvane remove JOB\n\nRemoves the job JOB from the queue (aborting it if it"
		" runs).\n"},
};

const JobVerb* FindVerb(const std::string& verb)
{
	for (const JobVerb& candidate : kJobVerbs) {
		if (verb == candidate.verb)
			return &candidate;
	}
	return nullptr;
}

int32 CountJobs(const BMessage& index)
{
	type_code type;
	int32 count = 0;
	return index.GetInfo("job_id", &type, &count) == B_OK ? count : 0;
}

bool CheckOneJobId(const CommandLine& line, const char* name, int32* jobId, std::string* error)
{
	if (line.Operands().size() != 1) {
		*error = std::string(name) + " needs exactly one job id";
		return false;
	}
	if (!ParseJobId(line.Operands().front(), jobId)) {
		*error = "'" + line.Operands().front() + "' is not a job id";
		return false;
	}
	return true;
}

class ListJobsCommand : public ListingCommand {
public:
	const char* Name() const override { return "jobs"; }
	std::string Help() const override
	{
		return "Usage: morvane jobs [--json]\n\n"
			"Lists the job queue: id, type, state, start time and title.\n"
			"  --json   print a JSON array of objects (id, title, date, type, state)\n";
	}
	int Run(ServerConnection& server, ClientApplication&) override;
};

int ListJobsCommand::Run(ServerConnection& server, ClientApplication&)
{
	BMessage index;
	status_t status = JobSession::FetchJobIndex(server, &index);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot read the job queue: %s\n", strerror_status(status));
		return kExitFailure;
	}
	int32 count = CountJobs(index);
	if (fJson) {
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
			JobStateName(index.GetInt32("jobstatus", slot, 0)), ReportText::Date(date).c_str(),
			TerminalText(index.GetString("title", slot, "")).c_str());
	}
	return kExitSuccess;
}

class ControlJobCommand : public Command {
public:
	explicit ControlJobCommand(const JobVerb& verb) : fVerb(verb) {}
	const char* Name() const override { return fVerb.verb; }
	std::string Help() const override { return fVerb.help; }
	void Declare(CommandLine*) const override {}
	bool Check(const CommandLine& line, std::string* error) override
	{
		return CheckOneJobId(line, fVerb.verb, &fJobId, error);
	}
	int Run(ServerConnection& server, ClientApplication&) override;

private:
	const JobVerb& fVerb;
	int32 fJobId = 0;
};

int ControlJobCommand::Run(ServerConnection& server, ClientApplication&)
{
	BMessage index;
	status_t status = JobSession::FetchJobIndex(server, &index);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot read the job queue: %s\n", strerror_status(status));
		return kExitFailure;
	}
	if (JobSession::FindSlot(index, fJobId) < 0) {
		fprintf(stderr, "morvane: there is no job %d\n", fJobId);
		return kExitFailure;
	}
	if (fVerb.code == kMsgJobBegin) {
		// A held job is released first: the server starts only jobs that
		// wait, and a continue leaves every other job as it is.
		BMessage release(kMsgJobContinue);
		release.AddInt32("job_id", fJobId);
		(void)server.Post(release);
	}
	BMessage request(fVerb.code);
	request.AddInt32("job_id", fJobId);
	if (fVerb.flag >= 0)
		request.AddInt32("flag", fVerb.flag);
	status = server.Post(request);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot reach the server: %s\n", strerror_status(status));
		return kExitFailure;
	}
	// The server answers these requests with broadcasts, not replies.
	printf("Asked the server to %s job %d.\n", fVerb.verb, fJobId);
	return kExitSuccess;
}

class WaitCommand : public Command {
public:
	const char* Name() const override { return "wait"; }
	std::string Help() const override
	{
		return std::string("Usage: morvane wait [--on-media-change CMD] [--verbose] JOB\n\n"
			"Follows the queued job JOB until it ends: its progress, the warnings and errors\n"
			"of its report as they arrive, the summary at the end. A job that has not\n"
			"started yet is followed from its start.\n\n")
			+ JobSession::kFollowOptionsHelp + "\n"
			"Ctrl-C stops following and leaves the job running (exit status 130).\n"
			"Exit status: 0 success, 1 aborted, 2 ended with errors, 3 no such job.\n";
	}
	void Declare(CommandLine* line) const override { JobSession::DeclareFollowOptions(line); }
	bool Check(const CommandLine& line, std::string* error) override
	{
		return JobSession::ReadFollowOptions(line, &fSettings, error)
			&& CheckOneJobId(line, "wait", &fJobId, error);
	}
	int Run(ServerConnection& server, ClientApplication& application) override
	{
		return JobSession::Follow(server, application, fJobId, fSettings);
	}

private:
	int32 fJobId = 0;
	FollowSettings fSettings;
};

}	// namespace

std::unique_ptr<Command> Make(const std::string& name)
{
	if (name == "jobs")
		return std::make_unique<ListJobsCommand>();
	if (name == "wait")
		return std::make_unique<WaitCommand>();
	if (const JobVerb* verb = FindVerb(name))
		return std::make_unique<ControlJobCommand>(*verb);
	return nullptr;
}

const char* JobTypeName(int32 jobType)
{
	static const char* const kNames[] = {"?", "full backup", "incremental", "differential",
		"restore", "compare", "insert"};
	return IsKnownJobType(jobType) ? kNames[jobType] : kNames[0];
}

const char* JobStateName(int32 state)
{
	static const char* const kNames[] = {"?", "waiting", "running", "paused", "edit"};
	return state >= kJobWaiting && state <= kJobEdit ? kNames[state] : kNames[0];
}

bool IsJobVerb(const std::string& verb)
{
	return FindVerb(verb) != nullptr;
}

bool ParseJobId(const std::string& text, int32* jobId)
{
	errno = 0;
	char* end = nullptr;
	long long value = strtoll(text.c_str(), &end, 10);
	if (errno != 0 || end == text.c_str() || *end != '\0' || value == 0 || value < INT32_MIN
		|| value > INT32_MAX) {
		return false;
	}
	*jobId = int32(value);
	return true;
}

}	// namespace JobCommands
