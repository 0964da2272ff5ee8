#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <kernel/OS.h>

extern char** environ;

namespace {

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides)
{
	std::map<std::string, std::string> variables;
	auto add = [&variables](const std::string& entry) {
		size_t equals = entry.find('=');
		if (equals != std::string::npos)
			variables[entry.substr(0, equals)] = entry;
	};
	for (char** entry = environ; *entry != nullptr; entry++)
		add(*entry);
	for (const std::string& entry : overrides)
		add(entry);
	std::vector<std::string> merged;
	for (const auto& [name, entry] : variables)
		merged.push_back(entry);
	return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
	std::vector<char*> pointers;
	for (std::string& string : strings)
		pointers.push_back(string.data());
	pointers.push_back(nullptr);
	return pointers;
}

int PollFor(int fd, bigtime_t timeout)
{
	bigtime_t deadline = system_time() + timeout;
	while (true) {
		bigtime_t left = std::max<bigtime_t>(deadline - system_time(), 0);
		int milliseconds = int(std::min<bigtime_t>((left + 999) / 1000, INT32_MAX));
		struct pollfd entry = {fd, POLLIN, 0};
		int result = poll(&entry, 1, milliseconds);
		if (result >= 0 || errno != EINTR)
			return result;
	}
}

}	// namespace

ChildProcess::~ChildProcess()
{
	if (fPid > 0 && !fEnded)
		Terminate();
	if (fPidFD >= 0)
		close(fPidFD);
	if (fOutput >= 0)
		close(fOutput);
}

status_t ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
	const std::vector<std::string>& environment, Output output)
{
	if (fPid > 0)
		return B_BUSY;
	std::vector<std::string> argumentStrings{program};
	argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
	std::vector<std::string> environmentStrings = MergedEnvironment(environment);
	std::vector<char*> argv = Pointers(argumentStrings);
	std::vector<char*> envp = Pointers(environmentStrings);

	int pipeEnds[2] = {-1, -1};
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	if (output == Output::Pipe) {
		if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
			posix_spawn_file_actions_destroy(&actions);
			return StatusFromErrno();
		}
		posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
	}
	int result = posix_spawn(&fPid, program.c_str(), &actions, nullptr, argv.data(),
		envp.data());
	posix_spawn_file_actions_destroy(&actions);
	if (pipeEnds[1] >= 0)
		close(pipeEnds[1]);
	if (result != 0) {
		if (pipeEnds[0] >= 0)
			close(pipeEnds[0]);
		fPid = -1;
		return B_FROM_ERRNO(result);
	}
	fOutput = pipeEnds[0];
	fPidFD = int(syscall(SYS_pidfd_open, fPid, 0));
	return B_OK;
}

void ChildProcess::_Reaped(int status)
{
	fEnded = true;
	fExitCode = WIFEXITED(status) ? WEXITSTATUS(status)
		: WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
}

bool ChildProcess::HasEnded()
{
	return AwaitExit(0);
}

bool ChildProcess::AwaitExit(bigtime_t timeout, int* exitCode)
{
	if (fPid <= 0)
		return false;
	if (!fEnded) {
		// The pid file descriptor turns readable when the process ends;
		// without one, the wait is a poll of waitpid.
		if (fPidFD >= 0 && PollFor(fPidFD, timeout) <= 0)
			return false;
		bigtime_t deadline = system_time() + timeout;
		int status = 0;
		while (true) {
			pid_t result = waitpid(fPid, &status, WNOHANG);
			if (result == fPid) {
				_Reaped(status);
				break;
			}
			if (result < 0 && errno != EINTR)
				return false;
			if (system_time() >= deadline)
				return false;
			(void)snooze(2000);
		}
	}
	if (exitCode != nullptr)
		*exitCode = fExitCode;
	return true;
}

void ChildProcess::Signal(int signal)
{
	if (fPid > 0 && !fEnded)
		kill(fPid, signal);
}

int ChildProcess::Terminate(bigtime_t grace)
{
	Signal(SIGTERM);
	if (!AwaitExit(grace)) {
		Signal(SIGKILL);
		AwaitExit(B_INFINITE_TIMEOUT / 2);
	}
	return fExitCode;
}

bool ChildProcess::ReadLine(std::string* line, bigtime_t timeout)
{
	if (fOutput < 0)
		return false;
	bigtime_t deadline = system_time() + timeout;
	while (true) {
		size_t newline = fPending.find('\n');
		if (newline != std::string::npos) {
			*line = fPending.substr(0, newline);
			fPending.erase(0, newline + 1);
			return true;
		}
		bigtime_t left = deadline - system_time();
		if (left <= 0 || PollFor(fOutput, left) <= 0)
			return false;
		char buffer[512];
		ssize_t got = read(fOutput, buffer, sizeof(buffer));
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0)
			return false;
		fPending.append(buffer, size_t(got));
	}
}
