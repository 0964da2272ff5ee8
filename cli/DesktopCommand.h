#pragma once

// morvane desktop install|uninstall: the GUI in the desktop's menu, its
// icon, and the job-settings files known by type and opened by the GUI
// (DesktopIntegration), for the user running it. It never starts or
// reaches the server.

#include "Command.h"

class DesktopIntegration;

class DesktopCommand : public LocalCommand {
public:
	const char* Name() const override { return "desktop"; }
	std::string Help() const override;
	void Declare(CommandLine* line) const override {}
	bool Check(const CommandLine& line, std::string* error) override;
	int RunLocally() override;

private:
	int _Install(const DesktopIntegration& desktop);
	int _Uninstall(const DesktopIntegration& desktop);
	int _Refresh(const DesktopIntegration& desktop);

	std::string fAction;
};
