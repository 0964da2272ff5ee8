// Feeds arbitrary bytes to the job list reader as a "MorvaneServer.joblist"
// found on disk. A list it accepts must be one the queue can keep: one
// record per job, ids that are not 0 and not repeated, and every job Waiting
// or Paused with no worker.

#include <cstdlib>
#include <set>

#include <support/DataIO.h>

#include "MVJobListFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	BMemoryIO source(data, size);
	JobTable jobs;
	int32 result = MVJobListFile::Read(&source, &jobs);
	if (result != MVJobListFile::kRead) {
		if (!jobs.empty())
			abort();
		return 0;
	}
	std::set<int32> ids;
	for (const QueuedJob& job : jobs) {
		if (job.record == nullptr || job.id == 0 || !ids.insert(job.id).second)
			abort();
		if (job.state != kJobWaiting && job.state != kJobPaused)
			abort();
		if (job.worker.IsValid() || job.record->HasData("user", B_MESSENGER_TYPE))
			abort();
	}
	return 0;
}
