#pragma once

// The line types of a job's report lines (LogInsert). Every engine writes
// the same kinds; progress messages carry MVToolServer::kProgressLineType.

#include <support/SupportDefs.h>

enum : int32 {
	kLineInfo = 1,
	kLineWarning = 2,
	kLineError = 3,
	// Single-argument lines (text kTextSingle) naming one item of the job.
	kLineVolumeRoot = 4,
	kLineDirectory = 5,
	kLineSymLink = 6,
	kLineFile = 7,
	kLineSettings = 8,
	kLineStatistics = 9,
};
