#include "UserService.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The variables that decide which volumes and runtime folder the server
// sees; the service's server must see what this client sees.
constexpr const char* kPassedVariables[] = {"MORVANE_VOLUMES", "MORVANE_RUNTIME_DIR"};
constexpr const char* kScheduleMark = "morvane/schedule-notice-shown";
constexpr int kCannotRun = 127;

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

std::string FirstLine(const std::string& text)
{
	return text.substr(0, text.find('\n'));
}

}	// namespace

UserService::UserService(std::string serverProgram)
	:
	fServerProgram(std::move(serverProgram))
{
}

std::string UserService::_ConfigFolder() const
{
	const char* config = getenv("XDG_CONFIG_HOME");
	if (config != nullptr && config[0] == '/')
		return config;
	const char* home = getenv("HOME");
	if (home != nullptr && home[0] == '/')
		return std::string(home) + "/.config";
	return "";
}

std::string UserService::UnitPath() const
{
	std::string folder = _ConfigFolder();
	return folder.empty() ? "" : folder + "/systemd/user/" + kUnitName;
}

bool UserService::IsInstalled() const
{
	std::string path = UnitPath();
	std::error_code error;
	return !path.empty() && fs::is_regular_file(path, error);
}

bool UserService::QuoteForUnit(const std::string& word, bool exec, std::string* quoted)
{
	std::string text = "\"";
	for (char c : word) {
		if ((unsigned char)c < 0x20 || c == 0x7f)
			return false;
		if (c == '\\' || c == '"')
			text += '\\';
		else if (c == '%' || (exec && c == '$'))
			text += c;
		text += c;
	}
	*quoted = text + "\"";
	return true;
}

bool UserService::UnitText(std::string* text, std::string* error) const
{
	std::string program;
	if (!QuoteForUnit(fServerProgram, true, &program)) {
		*error = "the server's path holds control characters";
		return false;
	}
	std::string environment;
	for (const char* name : kPassedVariables) {
		const char* value = getenv(name);
		if (value == nullptr)
			continue;
		std::string setting;
		if (!QuoteForUnit(std::string(name) + "=" + value, false, &setting)) {
			*error = std::string(name) + " holds control characters";
			return false;
		}
		environment += "Environment=" + setting + "\n";
	}
	*text = "# Written by 'morvane service install'; 'morvane service remove' removes it.\n"
		"[Unit]\n"
		"Description=Morvane Backup server\n"
		"\n"
		"[Service]\n"
		"ExecStart=" + program + " --daemon\n"
		+ environment +
		"Restart=always\n"
		"RestartSec=" + std::to_string(kRestartSeconds) + "\n"
		"\n"
		"[Install]\n"
		"WantedBy=default.target\n";
	return true;
}

bool UserService::WriteUnit(std::string* error) const
{
	std::string path = UnitPath();
	if (path.empty()) {
		*error = "neither XDG_CONFIG_HOME nor HOME names the user's folders";
		return false;
	}
	std::string text;
	if (!UnitText(&text, error))
		return false;
	std::error_code code;
	fs::create_directories(fs::path(path).parent_path(), code);
	std::string temporary = path + ".new";
	{
		std::ofstream file(temporary, std::ios::trunc);
		file << text;
		file.close();
		if (!file) {
			*error = "cannot write " + temporary + ": " + strerror(errno);
			(void)unlink(temporary.c_str());
			return false;
		}
	}
	if (rename(temporary.c_str(), path.c_str()) != 0) {
		*error = "cannot write " + path + ": " + strerror(errno);
		(void)unlink(temporary.c_str());
		return false;
	}
	return true;
}

bool UserService::RemoveUnit(std::string* error) const
{
	std::string path = UnitPath();
	if (path.empty() || unlink(path.c_str()) == 0 || errno == ENOENT)
		return true;
	*error = "cannot remove " + path + ": " + strerror(errno);
	return false;
}

int UserService::Systemctl(const std::vector<std::string>& arguments, std::string* output)
{
	std::vector<std::string> words = {"systemctl", "--user"};
	words.insert(words.end(), arguments.begin(), arguments.end());
	std::vector<char*> argv;
	for (std::string& word : words)
		argv.push_back(word.data());
	argv.push_back(nullptr);

	int pipeFds[2];
	if (pipe2(pipeFds, O_CLOEXEC) != 0) {
		*output = strerror(errno);
		return kCannotRun;
	}
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
	posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
	pid_t pid;
	int spawned = posix_spawnp(&pid, "systemctl", &actions, nullptr, argv.data(), environ);
	posix_spawn_file_actions_destroy(&actions);
	close(pipeFds[1]);
	if (spawned != 0) {
		close(pipeFds[0]);
		*output = spawned == ENOENT ? std::string("systemctl is not installed")
			: std::string("systemctl cannot be run: ") + strerror(spawned);
		return kCannotRun;
	}
	*output = ReadAll(pipeFds[0]);
	close(pipeFds[0]);
	int status;
	while (waitpid(pid, &status, 0) < 0) {
		if (errno != EINTR)
			return kCannotRun;
	}
	return WIFEXITED(status) ? WEXITSTATUS(status) : kCannotRun;
}

bool UserService::HasUserInstance(std::string* why)
{
	std::string output;
	if (Systemctl({"show-environment"}, &output) == 0)
		return true;
	*why = FirstLine(output);
	if (why->empty())
		*why = "systemctl --user failed";
	return false;
}

void UserService::TellAboutSchedulesOnce(FILE* out) const
{
	std::string folder = _ConfigFolder();
	if (IsInstalled() || folder.empty())
		return;
	std::string mark = folder + "/" + kScheduleMark;
	std::error_code error;
	if (fs::exists(mark, error))
		return;
	fprintf(out, "Note: scheduled jobs run only while the server runs, and no service starts "
		"it at boot.\n'morvane service install' installs one. (This note is shown once.)\n");
	fs::create_directories(fs::path(mark).parent_path(), error);
	std::ofstream(mark, std::ios::trunc) << "shown\n";
}
