#include "DesktopCommand.h"

#include <cstdio>

#include "DesktopIntegration.h"
#include "ExitStatus.h"
#include "InstalledTree.h"
#include "ProgramRun.h"

namespace {

int Failure(const std::string& error)
{
	fprintf(stderr, "morvane: %s\n", error.c_str());
	return kExitFailure;
}

std::string FirstLine(const std::string& text)
{
	return text.substr(0, text.find('\n'));
}

}	// namespace

std::string DesktopCommand::Help() const
{
	return "Usage: morvane desktop install|uninstall\n"
		"\n"
		"Puts Morvane Backup into the desktop of the user running it: the GUI program of\n"
		"this installed tree in the applications menu, its icon, and the job-settings\n"
		"files (*.mvbackup, *.mvrestore, *.mvcompare) as file types the GUI opens. The\n"
		"files go to $XDG_DATA_HOME (by default ~/.local/share); then\n"
		"update-mime-database and update-desktop-database are run where installed.\n"
		"\n"
		"  install     copy the files, replacing older copies\n"
		"  uninstall   remove them again\n"
		"\n"
		"Exit status: 0 success, 3 failure, 64 bad arguments.\n";
}

bool DesktopCommand::Check(const CommandLine& line, std::string* error)
{
	if (line.Operands().size() != 1) {
		*error = "needs install or uninstall";
		return false;
	}
	fAction = line.Operands()[0];
	if (fAction == "install" || fAction == "uninstall")
		return true;
	*error = "unknown action '" + fAction + "' (install or uninstall)";
	return false;
}

int DesktopCommand::RunLocally()
{
	DesktopIntegration desktop(InstalledTree::DesktopFolder(), InstalledTree::GuiProgram(),
		DesktopIntegration::DefaultDataHome());
	return fAction == "install" ? _Install(desktop) : _Uninstall(desktop);
}

int DesktopCommand::_Install(const DesktopIntegration& desktop)
{
	std::string error;
	if (!desktop.Install(&error))
		return Failure(error);
	printf("Installed the desktop files of Morvane Backup into %s:\n",
		desktop.DataHome().c_str());
	for (const DesktopIntegration::File& file : DesktopIntegration::Files())
		printf("  %s\n", file.target);
	printf("The menu entry runs %s.\n", desktop.GuiProgram().c_str());
	return _Refresh(desktop);
}

int DesktopCommand::_Uninstall(const DesktopIntegration& desktop)
{
	std::string error;
	int removed = 0;
	if (!desktop.Uninstall(&removed, &error))
		return Failure(error);
	if (removed == 0) {
		printf("No desktop files of Morvane Backup are installed in %s.\n",
			desktop.DataHome().c_str());
		return kExitSuccess;
	}
	printf("Removed the desktop files of Morvane Backup from %s.\n", desktop.DataHome().c_str());
	return _Refresh(desktop);
}

int DesktopCommand::_Refresh(const DesktopIntegration& desktop)
{
	int result = kExitSuccess;
	for (const DesktopIntegration::Refresher& refresher : DesktopIntegration::Refreshers()) {
		std::string folder = desktop.DataHome() + "/" + refresher.folder;
		std::string output;
		int status = RunProgram({refresher.program, folder}, &output);
		if (status == 0) {
			printf("Ran %s %s.\n", refresher.program, folder.c_str());
		} else if (status == kProgramMissing) {
			printf("Note: %s is not installed (Debian package %s), so the desktop's list of\n"
				"%s is not brought up to date. Once it is installed, run:\n  %s '%s'\n",
				refresher.program, refresher.package, refresher.cache, refresher.program,
				folder.c_str());
		} else {
			std::string why = FirstLine(output);
			if (why.empty())
				why = "it ended with status " + std::to_string(status);
			fprintf(stderr, "morvane: %s %s failed: %s\n", refresher.program, folder.c_str(),
				why.c_str());
			result = kExitFailure;
		}
	}
	return result;
}
