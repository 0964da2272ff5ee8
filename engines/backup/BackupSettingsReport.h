#pragma once

// BackupSettingsReport: the settings block at the start of a backup report
// (line type 8): the destination with its capacity and free space, its
// flags, the backup mode and the start time. A plain value; any thread.

#include <ctime>
#include <string>
#include <vector>

#include "JobReportLine.h"
#include "JobType.h"
#include "ReportLineType.h"

struct BackupSettingsReport {
	static constexpr int32 kLineType = kLineSettings;

	std::string destinationName;
	// Bytes; the capacity lines are left out when the capacity is not
	// above 0.
	int64 capacity = -1;
	int64 freeSpace = -1;
	bool removable = false;
	bool overwrite = false;
	// Job type: 1 full, 2 incremental, 3 differential.
	int32 mode = kJobFullBackup;
	time_t startTime = 0;

	std::vector<JobReportLine> Lines() const;

	// The text id of a job type's mode name.
	static int32 ModeTextID(int32 mode);
};
