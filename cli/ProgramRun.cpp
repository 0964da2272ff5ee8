#include "ProgramRun.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string ReadAll(int fd)
{
	std::string text;
	char buffer[4096];
	while (true) {
		ssize_t got = read(fd, buffer, sizeof(buffer));
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0)
			return text;
		text.append(buffer, size_t(got));
	}
}

}	// namespace

int RunProgram(const std::vector<std::string>& words, std::string* output)
{
	if (words.empty()) {
		*output = "no program named";
		return kProgramFailed;
	}
	std::vector<std::string> copies = words;
	std::vector<char*> argv;
	for (std::string& word : copies)
		argv.push_back(word.data());
	argv.push_back(nullptr);

	int pipeFds[2];
	if (pipe2(pipeFds, O_CLOEXEC) != 0) {
		*output = strerror(errno);
		return kProgramFailed;
	}
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
	posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
	pid_t pid;
	int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
	posix_spawn_file_actions_destroy(&actions);
	close(pipeFds[1]);
	if (spawned != 0) {
		close(pipeFds[0]);
		if (spawned == ENOENT) {
			*output = words[0] + " is not installed";
			return kProgramMissing;
		}
		*output = words[0] + " cannot be run: " + strerror(spawned);
		return kProgramFailed;
	}
	*output = ReadAll(pipeFds[0]);
	close(pipeFds[0]);
	int status;
	while (waitpid(pid, &status, 0) < 0) {
		if (errno != EINTR)
			return kProgramFailed;
	}
	return WIFEXITED(status) ? WEXITSTATUS(status) : kProgramFailed;
}
