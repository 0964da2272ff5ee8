#pragma once

// RestoreStatistics: the counters of a restore job and the statistics lines
// that end its report. A plain value owned by the worker.

#include <vector>

#include "JobReportLine.h"

class RestoreStatistics {
public:
	int32 filesRestored = 0;
	int64 bytesRestored = 0;
	int32 filesToRestore = 0;
	int64 bytesToRestore = 0;
	int32 errors = 0;

	// The block that ends the report: files, bytes, time, speed and the
	// status line. elapsed and paused are whole seconds.
	std::vector<JobReportLine> EndLines(int32 elapsed, int32 paused, bool aborted) const;
	// 0 success, 1 aborted, 2 ended with errors.
	int32 EndStatus(bool aborted) const;
};
