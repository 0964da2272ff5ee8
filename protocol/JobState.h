#pragma once

// The states of a queued job ("jobstatus" and "oldjobstatus" of the job
// index and the job notices).

#include <support/SupportDefs.h>

enum : int32 {
	kJobWaiting = 1,
	kJobRunning = 2,
	kJobPaused = 3,
	kJobEdit = 4,
};
