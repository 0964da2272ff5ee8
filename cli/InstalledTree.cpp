#include "InstalledTree.h"

#include <climits>
#include <unistd.h>

std::string InstalledTree::Folder()
{
	char path[PATH_MAX];
	ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
	if (length <= 0)
		return ".";
	std::string program(path, size_t(length));
	size_t slash = program.rfind('/');
	if (slash == std::string::npos)
		return ".";
	return slash == 0 ? "/" : program.substr(0, slash);
}

std::string InstalledTree::ServerProgram()
{
	return Folder() + "/Backup_Server/MorvaneServer";
}

std::string InstalledTree::GuiProgram()
{
	return Folder() + "/MorvaneBackup";
}

std::string InstalledTree::DesktopFolder()
{
	return Folder() + "/desktop";
}
