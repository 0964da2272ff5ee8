#pragma once

// InsertStatistics: the counters of an insert job and the statistics lines
// that end its report. A plain value owned by the worker.

#include <vector>

#include "JobReportLine.h"

class InsertStatistics {
public:
	int32 filesInserted = 0;
	int64 bytesInserted = 0;
	int32 errors = 0;

	// Files, bytes, time, speed and the status line. elapsed and paused
	// are whole seconds.
	std::vector<JobReportLine> EndLines(int32 elapsed, int32 paused, bool aborted) const;
	// 0 success, 1 aborted, 2 ended with error lines.
	int32 EndStatus(bool aborted) const;
};
