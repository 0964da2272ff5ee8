#pragma once

// The server as a systemd user service, so that scheduled jobs run without a
// client: the unit "morvane-server.service" in the user's unit folder
// ($XDG_CONFIG_HOME/systemd/user, else ~/.config/systemd/user) runs the
// server of this installed tree with --daemon, with the MORVANE_* variables
// this process has. systemd is reached through `systemctl --user`, found on
// the PATH.
//
// Paths are native. Not thread-safe.

#include <cstdio>
#include <string>
#include <vector>

class UserService {
public:
	static constexpr const char* kUnitName = "morvane-server.service";
	// While a server that is not the service runs, the service's server
	// ends at once; it tries again after this many seconds.
	static constexpr int kRestartSeconds = 30;

	explicit UserService(std::string serverProgram);

	// Empty when neither XDG_CONFIG_HOME nor HOME is set.
	std::string UnitPath() const;
	bool IsInstalled() const;
	// The unit file's text; false with *error set when the program's path
	// or a variable cannot be written into a unit.
	bool UnitText(std::string* text, std::string* error) const;
	// Writes the unit file whole (a temporary file renamed over it);
	// false with *error set.
	bool WriteUnit(std::string* error) const;
	bool RemoveUnit(std::string* error) const;

	// Runs `systemctl --user ARGUMENTS`; its exit status (127 when it cannot
	// run), with what it printed in *output.
	static int Systemctl(const std::vector<std::string>& arguments, std::string* output);
	// Whether a systemd user instance answers; *why says why not.
	static bool HasUserInstance(std::string* why);

	// Where schedules depend on a server that happens to run: tells so on
	// out, the first time only (a mark in the user's config folder).
	void TellAboutSchedulesOnce(FILE* out) const;

	// A word of a unit's command line (exec) or a variable setting quoted
	// for systemd: in double quotes, with \\, \" and %% escaped, and $$ on a
	// command line. False for a word with control characters, which a unit
	// line cannot hold.
	static bool QuoteForUnit(const std::string& word, bool exec, std::string* quoted);

private:
	std::string _ConfigFolder() const;

	std::string fServerProgram;
};
