// MorvaneBackup: the GUI program. Files given on the command line are
// job-settings files to open, as a double-click on the desktop gives them.

#include <string>
#include <vector>

#include <interface/Display.h>

#include "BackupApplication.h"

int main(int argc, char** argv)
{
	BDisplay display(argc, argv);
	std::vector<std::string> files(argv + 1, argv + argc);
	BackupApplication application(std::move(files));
	application.Run();
	return 0;
}
