#pragma once

// The installed tree this `morvane` program belongs to: the folder that
// holds the running program (/proc/self/exe) and the programs and folders
// beside it. Paths are native; the folder is the program's real path, with
// symbolic links resolved by the kernel.

#include <string>

class InstalledTree {
public:
	// The folder of the running program; "." when it cannot be found.
	static std::string Folder();

	static std::string ServerProgram();
	static std::string GuiProgram();
	// The files of the desktop integration (desktop/).
	static std::string DesktopFolder();
};
