#include "JobRequest.h"

#include "ServerProtocol.h"

void MakeJobRequest(BMessage* job, int32 jobType)
{
	job->what = kMsgJobAdd;
	(void)job->SetInt32("job_type", jobType);
	if (!job->HasData("scheduler", B_MESSAGE_TYPE)) {
		BMessage scheduler;
		scheduler.AddTime("TIME", int32(real_time_clock()));
		job->AddMessage("scheduler", &scheduler);
	}
}
