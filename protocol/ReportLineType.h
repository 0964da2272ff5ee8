#pragma once

// The line types of a job's report lines ('MVJF' "linetype"): every engine
// writes the same kinds, the report store keeps them and the clients show
// them. Progress messages travel on the same code with their own type.

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
	// A progress message ("count", "size", ...), never a line of the report.
	kLineProgress = 100,
};
