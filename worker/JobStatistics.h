#pragma once

// JobStatistics: the lines of the statistics block (line type 9) that every
// job's report ends with: an amount in MB, KB or bytes, the time the job
// took and its speed without paused time. The engines add their own count
// and status lines around them. Stateless; any thread.

#include <ctime>
#include <string>
#include <vector>

#include "JobReportLine.h"

// The texts of one engine's statistics block.
struct StatisticsTexts {
	// The count line ("Files ...:\t\t%ld").
	int32 count;
	// The MB text of the amount line; KB and bytes follow it.
	int32 amountMB;
	int32 successful;
	int32 aborted;
	int32 endedWithErrors;
};

class JobStatistics {
public:
	static constexpr int64 kMegabyte = 1048576;
	static constexpr int64 kKilobyte = 1024;

	// The amount in the largest unit it exceeds. megabyteText is the id of
	// the MB text ("%.1f"); the KB text ("%.2f") and the whole-bytes text
	// ("%ld") must follow it as the next two ids.
	static JobReportLine AmountLine(int32 megabyteText, double amount);
	// Hours, minutes and seconds of elapsedSeconds (text 13).
	static JobReportLine TimeLine(int32 elapsedSeconds);
	// Bytes per working second (texts 14 to 16).
	static JobReportLine SpeedLine(int64 bytes, int32 elapsedSeconds, int32 pausedSeconds);

	// The block a reading job's report ends with: " ", the count, the
	// amount, the extra lines, the time, the speed and the status line.
	static std::vector<JobReportLine> EndBlock(const StatisticsTexts& texts, int32 count,
		int64 amount, const std::vector<JobReportLine>& extra, int32 elapsedSeconds,
		int32 pausedSeconds, int32 status);
	// 0 success, 1 aborted, 2 ended with errors.
	static int32 EndStatus(bool aborted, bool errors);

	// A date as ctime writes it, without the final newline ("" when it
	// cannot be shown): the start line and the dates of compare lines.
	static std::string DateText(time_t date);

	// Bytes per second of elapsed minus paused time. Less than a second of
	// work counts as one, so a quick job shows a lower bound of its speed
	// rather than none; no bytes give 0.
	static double Speed(int64 bytes, int32 elapsedSeconds, int32 pausedSeconds);
};
