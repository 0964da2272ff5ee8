#include "FuzzReplay.h"

#include <support/DataIO.h>

#include "Preferences.h"

bool ReaderAccepts(const uint8_t* data, size_t size)
{
	Preferences prefs("", "MVBACKUP");
	BMemoryIO file(data, size);
	return prefs.LoadData(&file) == Preferences::kOK;
}
