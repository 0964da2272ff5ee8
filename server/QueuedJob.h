#pragma once

// QueuedJob: one job of the server's queue, its record with the state the
// queue keeps beside it. The queue holds its jobs in a JobTable in queue
// order; the job index that clients ask for ('MVJL') and that the job list
// file stores is made from that table (MakeJobIndex), never kept apart from
// it. A value that owns its record; one thread at a time.

#include <memory>
#include <string>
#include <vector>

#include <app/Message.h>
#include <app/Messenger.h>

#include "JobState.h"

struct QueuedJob {
	int32 id = 0;
	// The title, start time and type the index shows.
	std::string title;
	int32 date = 0;
	int32 type = 0;
	int32 state = kJobWaiting;
	// The state before the last change; 0 when there was none.
	int32 oldState = 0;
	// The running worker; invalid while none runs.
	BMessenger worker;
	// The job record: what the job's client sent, with what the queue
	// added ("job_id", "client_id", "last_start", ...).
	std::unique_ptr<BMessage> record;
};

using JobTable = std::vector<QueuedJob>;

// The job index: parallel arrays "job_id", "title", "date" ('TIME'),
// "job_type", "jobstatus", "oldjobstatus" and "server" (the worker), one
// slot per job in queue order.
BMessage MakeJobIndex(const JobTable& jobs);
