#include "QueuedJob.h"

BMessage MakeJobIndex(const JobTable& jobs)
{
	BMessage index;
	for (const QueuedJob& job : jobs) {
		index.AddInt32("job_id", job.id);
		index.AddString("title", job.title);
		index.AddTime("date", job.date);
		index.AddInt32("job_type", job.type);
		index.AddInt32("jobstatus", job.state);
		index.AddInt32("oldjobstatus", job.oldState);
		index.AddMessenger("server", job.worker);
	}
	return index;
}
