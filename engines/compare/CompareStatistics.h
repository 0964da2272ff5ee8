#pragma once

// CompareStatistics: the counters of a compare job and the statistics lines
// that end its report. A plain value owned by the worker.

#include <vector>

#include "JobReportLine.h"

class CompareStatistics {
public:
	int32 filesCompared = 0;
	int64 bytesCompared = 0;
	int32 filesToCompare = 0;
	int64 bytesToCompare = 0;
	int32 misscompared = 0;
	int32 readErrors = 0;

	// Files, bytes, differences, read errors, time, speed and the status
	// line. elapsed and paused are whole seconds.
	std::vector<JobReportLine> EndLines(int32 elapsed, int32 paused, bool aborted) const;
	// 0 everything equal, 1 aborted, 2 differences or read errors.
	int32 EndStatus(bool aborted) const;
};
