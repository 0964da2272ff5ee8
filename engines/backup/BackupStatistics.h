#pragma once

// BackupStatistics: the closing lines of a backup report (line type 9):
// files and bytes saved, the pack ratio when the compressor changed the
// size, the time taken, the speed without paused time, and the status.
// A plain value; any thread.

#include <vector>

#include "JobEndStatus.h"
#include "JobReportLine.h"
#include "ReportLineType.h"

struct BackupStatistics {
	static constexpr int32 kLineType = kLineStatistics;

	int32 filesSaved = 0;
	int64 bytesSaved = 0;
	// File bytes read and what the compressor made of them.
	int64 rawBytes = 0;
	int64 packedBytes = 0;
	int32 elapsedSeconds = 0;
	int32 pausedSeconds = 0;
	bool aborted = false;
	// Error lines written while the backup went on (items it could not
	// save whole).
	int32 errors = 0;

	std::vector<JobReportLine> Lines() const;
	// The end status of the job (JobEndStatus.h).
	int32 EndStatus() const;

	// How much the compressor saved, in percent of the bytes read.
	double PackRatio() const;
	// Bytes saved per working second, truncated; 0 when no working time
	// passed.
	int64 Speed() const;
};
