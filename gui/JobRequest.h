#pragma once

// A tool's settings made the request that adds a job to the queue.

#include <app/Message.h>

// Sets the request code and the job type; a job without a schedule starts
// now.
void MakeJobRequest(BMessage* job, int32 jobType);
