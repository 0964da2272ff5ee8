#pragma once

// morvane service install|remove|status: the server as a systemd user
// service (UserService), so that scheduled jobs run with no client and
// after a reboot. It never starts or reaches the server itself.

#include "Command.h"

class ServiceCommand : public LocalCommand {
public:
	const char* Name() const override { return "service"; }
	std::string Help() const override;
	void Declare(CommandLine* line) const override {}
	bool Check(const CommandLine& line, std::string* error) override;
	int RunLocally() override;

private:
	int _Install();
	int _Remove();
	int _Status();

	std::string fAction;
};
