// Feeds arbitrary bytes to the GUI as the "Backup.prefs" it finds beside
// itself, and as the first bytes of a job-settings file. Whatever the store
// holds, the values the GUI takes from it are usable: a main window frame
// with a size, one of the five tool-bar modes, running-jobs settings in
// range.

#include <cstdlib>

#include <support/DataIO.h>

#include "GuiPreferences.h"
#include "GuiProtocol.h"
#include "JobSettingsFile.h"
#include "Preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	uint32 tool = JobSettingsFile::ToolForMagic(data, size);
	if (tool != 0 && tool != kCmdBackupTool && tool != kCmdRestoreTool
		&& tool != kCmdCompareTool) {
		abort();
	}
	Preferences prefs("", "MVBACKUP");
	BMemoryIO file(data, size);
	(void)prefs.LoadData(&file);
	GuiPreferences::SetDefaults(&prefs);
	BRect frame = GuiPreferences::MainFrame(&prefs);
	if (!(frame.Width() > 0 && frame.Height() > 0))
		abort();
	uint32 mode = GuiPreferences::ToolbarMode(prefs);
	if (mode != kCmdToolbarNone && mode != kCmdToolbarIconOnly && mode != kCmdToolbarTextOnly
		&& mode != kCmdToolbarIconAndText && mode != kCmdToolbarIconAboveText) {
		abort();
	}
	BMessage status = GuiPreferences::StatusSettings(prefs);
	int32 delay = status.GetInt32(kStatusRemoveDelay, -1);
	if (delay < 0 || delay > 9999 || status.GetInt32(kStatusAutoOpen, -1) < 0)
		abort();
	return 0;
}
