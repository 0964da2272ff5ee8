#include "ServiceCommand.h"

#include <cstdio>
#include <unistd.h>

#include "ExitStatus.h"
#include "ServerConnection.h"
#include "UserService.h"

namespace {

std::string Trimmed(const std::string& text)
{
	size_t end = text.find_last_not_of(" \n");
	return end == std::string::npos ? "" : text.substr(0, end + 1);
}

// What to do where systemd cannot start the server.
int NoUserInstance(const std::string& why, const std::string& server)
{
	fprintf(stderr, "morvane: no systemd user instance answers here (%s).\n"
		"Scheduled jobs run only while the server runs. Start it at boot another way,\n"
		"for example with 'crontab -e' and the line\n"
		"  @reboot '%s' --daemon\n", why.c_str(), server.c_str());
	return kExitFailure;
}

}	// namespace

std::string ServiceCommand::Help() const
{
	return "Usage: morvane service install|remove|status\n"
		"\n"
		"Scheduled jobs run only while the server runs. As a systemd user service the\n"
		"server of this installed tree runs with --daemon whenever you are logged in;\n"
		"with lingering on (loginctl enable-linger) from boot on.\n"
		"\n"
		"  install   write the unit " + std::string(UserService::kUnitName) + " into the\n"
		"            user's unit folder (~/.config/systemd/user), enable and start it\n"
		"  remove    stop and disable the service and remove its unit\n"
		"  status    show whether the service is installed, enabled and running\n"
		"\n"
		"Exit status: 0 success (status: installed), 3 failure (status: not installed,\n"
		"or no systemd user instance), 64 bad arguments.\n";
}

bool ServiceCommand::Check(const CommandLine& line, std::string* error)
{
	if (line.Operands().size() != 1) {
		*error = "needs one of install, remove or status";
		return false;
	}
	fAction = line.Operands()[0];
	if (fAction == "install" || fAction == "remove" || fAction == "status")
		return true;
	*error = "unknown action '" + fAction + "' (install, remove or status)";
	return false;
}

int ServiceCommand::RunLocally()
{
	if (fAction == "install")
		return _Install();
	if (fAction == "remove")
		return _Remove();
	return _Status();
}

int ServiceCommand::_Install()
{
	std::string server = ServerConnection::DefaultServerProgram();
	UserService service(server);
	std::string why;
	if (!UserService::HasUserInstance(&why))
		return NoUserInstance(why, server);
	std::string error;
	if (!service.WriteUnit(&error)) {
		fprintf(stderr, "morvane: %s\n", error.c_str());
		return kExitFailure;
	}
	std::string output;
	if (UserService::Systemctl({"daemon-reload"}, &output) != 0
		|| UserService::Systemctl({"enable", "--now", UserService::kUnitName}, &output) != 0) {
		// A unit that is there but not enabled would look installed.
		fprintf(stderr, "morvane: systemd did not enable %s, so it is removed again:\n%s\n",
			UserService::kUnitName, Trimmed(output).c_str());
		std::string ignored;
		(void)service.RemoveUnit(&ignored);
		(void)UserService::Systemctl({"daemon-reload"}, &ignored);
		return kExitFailure;
	}
	const char* user = getenv("USER");
	printf("Installed and started the user service %s (%s).\n"
		"It runs '%s --daemon' whenever you are logged in. For schedules to run after a\n"
		"reboot before you log in: loginctl enable-linger %s\n",
		UserService::kUnitName, service.UnitPath().c_str(), server.c_str(),
		user != nullptr ? user : "$USER");
	return kExitSuccess;
}

int ServiceCommand::_Remove()
{
	UserService service(ServerConnection::DefaultServerProgram());
	if (!service.IsInstalled()) {
		printf("No service is installed.\n");
		return kExitSuccess;
	}
	std::string output;
	std::string why;
	bool systemd = UserService::HasUserInstance(&why);
	if (systemd && UserService::Systemctl({"disable", "--now", UserService::kUnitName},
			&output) != 0) {
		fprintf(stderr, "morvane: systemd did not disable %s:\n%s\n", UserService::kUnitName,
			Trimmed(output).c_str());
		return kExitFailure;
	}
	std::string error;
	if (!service.RemoveUnit(&error)) {
		fprintf(stderr, "morvane: %s\n", error.c_str());
		return kExitFailure;
	}
	if (systemd)
		(void)UserService::Systemctl({"daemon-reload"}, &output);
	printf("Removed the user service %s.\n", UserService::kUnitName);
	return kExitSuccess;
}

int ServiceCommand::_Status()
{
	UserService service(ServerConnection::DefaultServerProgram());
	if (!service.IsInstalled()) {
		printf("Service: not installed ('morvane service install' installs it).\n");
		return kExitFailure;
	}
	printf("Service: installed (%s)\n", service.UnitPath().c_str());
	std::string why;
	if (!UserService::HasUserInstance(&why)) {
		printf("systemd: no user instance answers (%s)\n", why.c_str());
		return kExitSuccess;
	}
	std::string enabled;
	std::string active;
	(void)UserService::Systemctl({"is-enabled", UserService::kUnitName}, &enabled);
	(void)UserService::Systemctl({"is-active", UserService::kUnitName}, &active);
	printf("Enabled: %s\nActive: %s\n", Trimmed(enabled).c_str(), Trimmed(active).c_str());
	return kExitSuccess;
}
