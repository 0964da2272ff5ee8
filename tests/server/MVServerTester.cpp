#include "MVServerTester.h"

#include <memory>

#include "MVReportServer.h"

void MVServerTester::AddJob(int32 jobId, const BMessage& record, BMessenger worker,
	int32 status, int32 date)
{
	fServer.fJobs.push_back(std::make_unique<BMessage>(record));
	BMessage& index = fServer.fJobIndex;
	index.AddInt32("job_id", jobId);
	BMessage startInfo;
	const char* title = "-- no title --";
	if (record.FindMessage("start_info", &startInfo) == B_OK)
		title = startInfo.GetString("title", title);
	index.AddString("title", title);
	index.AddTime("date", date);
	index.AddInt32("job_type", record.GetInt32("job_type", kJobFullBackup));
	index.AddInt32("jobstatus", status);
	index.AddInt32("oldjobstatus", 0);
	index.AddMessenger("server", worker);
}

BLooper* MVServerTester::ReportServer() const
{
	return fServer.fReportServer;
}
