#pragma once

// One stored report as the report list shows it: what its file's
// "MVREPORT:" attributes say, and the file's node, which matches the report
// folder's change messages to the slot.

#include <string>

#include <support/SupportDefs.h>

struct ReportListEntry {
	int32 reportID = 0;
	int32 jobID = 0;
	std::string title;
	int32 jobType = 0;
	// Seconds since 1970, as the 4-byte 'TIME' of files and messages.
	int32 date = 0;
	int64 node = 0;
};
