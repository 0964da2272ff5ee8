#include "FuzzReplay.h"

#include <app/Message.h>
#include <support/DataIO.h>

#include "JobSettingsFile.h"
#include "Preferences.h"

// Either file the GUI reads: its preferences or a backup job-settings file.
bool ReaderAccepts(const uint8_t* data, size_t size)
{
	BMessage settings;
	if (JobSettingsFile::Parse(data, size, JobSettingsFile::kBackupMagic, &settings) == B_OK)
		return true;
	Preferences prefs("", "MVBACKUP");
	BMemoryIO file(data, size);
	return prefs.LoadData(&file) == Preferences::kOK;
}
