// Feeds arbitrary bytes to the GUI as the "Backup.prefs" it finds beside
// itself, and as a job-settings file whose selection lines the source tree
// takes as its marks. Whatever the store
// holds, the values the GUI takes from it are usable: a main window frame
// with a size, one of the five tool-bar modes, running-jobs settings in
// range.

#include <cstdlib>
#include <cstring>
#include <vector>

#include <app/Message.h>

#include <support/DataIO.h>

#include "GuiPreferences.h"
#include "GuiProtocol.h"
#include "JobSettingsFile.h"
#include "Preferences.h"
#include "SelectionMarks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	uint32 tool = JobSettingsFile::ToolForMagic(data, size);
	if (tool != 0 && tool != kCmdBackupTool && tool != kCmdRestoreTool
		&& tool != kCmdCompareTool) {
		abort();
	}
	// A job-settings file: what is accepted writes back to what reads the
	// same.
	BMessage settings;
	if (JobSettingsFile::Parse(data, size, JobSettingsFile::kBackupMagic, &settings) == B_OK) {
		std::vector<char> body;
		if (settings.Flatten(&body) != B_OK)
			abort();
		std::vector<char> file(JobSettingsFile::kHeaderSize, 0);
		memcpy(file.data(), JobSettingsFile::kBackupMagic, JobSettingsFile::kMagicLength);
		file.insert(file.end(), body.begin(), body.end());
		BMessage again;
		if (JobSettingsFile::Parse(file.data(), file.size(), JobSettingsFile::kBackupMagic, &again)
				!= B_OK || again.FlattenedSize() != settings.FlattenedSize()) {
			abort();
		}
		// The marks the lines give write lines that give the same marks.
		BMessage selection;
		(void)settings.FindMessage("selection", &selection);
		SelectionMarks marks;
		marks.ReadLines(selection);
		BMessage written;
		marks.WriteLines(&written);
		SelectionMarks reread;
		reread.ReadLines(written);
		BMessage rewritten;
		reread.WriteLines(&rewritten);
		if (rewritten.FlattenedSize() != written.FlattenedSize())
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
