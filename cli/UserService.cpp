#include "UserService.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "FileText.h"
#include "ProgramRun.h"

namespace {

namespace fs = std::filesystem;

// The variables that decide which volumes and runtime folder the server
// sees; the service's server must see what this client sees.
constexpr const char* kPassedVariables[] = {"MORVANE_VOLUMES", "MORVANE_RUNTIME_DIR"};
constexpr const char* kScheduleMark = "morvane/schedule-notice-shown";
constexpr int kCannotRun = 127;

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
	return UnitText(&text, error) && ReplaceFileText(path, text, error);
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
	int status = RunProgram(words, output);
	return status < 0 ? kCannotRun : status;
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
