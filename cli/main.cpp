// morvane: the command-line client of the backup server.
//
// It finds the server beside itself (Backup_Server/MorvaneServer), starts it
// when it does not run, registers as a client like the GUI, and speaks the
// server's message protocol. Bad arguments are reported with exit status 64
// before anything is sent.

#include <app/Application.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ExitStatus.h"
#include "JobCommands.h"
#include "ServerConnection.h"

namespace {

constexpr const char* kClientSignature = "application/x-vnd.morvanesoft-backup-cli";

constexpr const char* kUsage =
	"Usage: morvane COMMAND [OPTIONS] [ARGUMENTS]\n"
	"\n"
	"The command-line client of the Morvane Backup server. It starts the server\n"
	"beside it (Backup_Server/MorvaneServer) when none runs.\n"
	"\n"
	"Commands:\n"
	"  jobs [--json]          list the job queue\n"
	"  start JOB              start a queued job now\n"
	"  pause JOB              pause a running job, or hold a waiting one\n"
	"  continue JOB           continue a paused or held job\n"
	"  abort JOB              abort a running job; it stays queued\n"
	"  remove JOB             remove a job from the queue\n"
	"\n"
	"Run 'morvane COMMAND --help' for a command's options.\n"
	"Exit status: 0 success, 3 the request failed, 64 bad arguments,\n"
	"69 the server cannot be started or reached.\n";

struct CommandHelp {
	const char* name;
	const char* text;
};

constexpr CommandHelp kCommandHelp[] = {
	{"jobs", "Usage: morvane jobs [--json]\n\nLists the job queue: id, type, state, start time and title.\n"
		"  --json   print a JSON array of objects instead of a table\n"},
	{"start", "Usage: morvane start JOB\n\nStarts the queued job JOB now.\n"},
	{"pause", "Usage: morvane pause JOB\n\nPauses the running job JOB, or holds it while it waits.\n"},
	{"continue", "Usage: morvane continue JOB\n\nContinues the paused or held job JOB.\n"},
	{"abort", "Usage: morvane abort JOB\n\nAborts the running job JOB; it stays in the queue.\n"},
	{"remove", "Usage: morvane remove JOB\n\nRemoves the job JOB from the queue (aborting it if it runs).\n"},
};

const char* HelpFor(const std::string& command)
{
	for (const CommandHelp& help : kCommandHelp) {
		if (command == help.name)
			return help.text;
	}
	return nullptr;
}

int UsageError(const std::string& message)
{
	fprintf(stderr, "morvane: %s\nTry 'morvane --help'.\n", message.c_str());
	return kExitUsage;
}

// A job id operand: a decimal int32 other than 0 (the server draws ids
// from the whole int32 range).
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

// Runs a command whose arguments are known to be good.
int Run(const std::string& command, const CommandLine& line)
{
	BApplication client(kClientSignature);
	ServerConnection server;
	if (server.Connect() != B_OK) {
		fprintf(stderr, "morvane: %s\n", server.Error().c_str());
		return kExitNoServer;
	}
	if (command == "jobs")
		return ListJobs(server, line.Has("json"));
	int32 jobId;
	(void)ParseJobId(line.Operands().front(), &jobId);
	return ControlJob(server, command, jobId);
}

}	// namespace

int main(int argc, char** argv)
{
	std::vector<std::string> words(argv + 1, argv + argc);
	if (words.empty())
		return UsageError("no command given");
	std::string command = words.front();
	words.erase(words.begin());
	if (command == "--help" || command == "-h" || command == "help") {
		fputs(kUsage, stdout);
		return kExitSuccess;
	}
	const char* help = HelpFor(command);
	if (help == nullptr)
		return UsageError("unknown command '" + command + "'");

	CommandLine line;
	line.Flag("help");
	if (command == "jobs")
		line.Flag("json");
	if (!line.Parse(words))
		return UsageError(command + ": " + line.Error());
	if (line.Has("help")) {
		fputs(help, stdout);
		return kExitSuccess;
	}
	if (command == "jobs") {
		if (!line.Operands().empty())
			return UsageError("jobs takes no arguments");
	} else {
		int32 jobId;
		if (line.Operands().size() != 1)
			return UsageError(command + " needs exactly one job id");
		if (!ParseJobId(line.Operands().front(), &jobId))
			return UsageError("'" + line.Operands().front() + "' is not a job id");
	}
	return Run(command, line);
}
