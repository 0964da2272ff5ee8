#include "InsertStatistics.h"

#include "InsertTexts.h"
#include "JobEndStatus.h"
#include "JobStatistics.h"

std::vector<JobReportLine> InsertStatistics::EndLines(int32 elapsed, int32 paused,
	bool aborted) const
{
	if (elapsed < 0)
		elapsed = 0;
	std::vector<JobReportLine> lines;
	lines.push_back({kLineStatistics, kTextSingle, {" "}});
	lines.push_back({kLineStatistics, kTextFilesInserted, {filesInserted}});
	lines.push_back(JobStatistics::AmountLine(kTextBytesInsertedMB, double(bytesInserted)));
	lines.push_back(JobStatistics::TimeLine(elapsed));
	lines.push_back(JobStatistics::SpeedLine(bytesInserted, elapsed, paused));
	int32 status = EndStatus(aborted);
	int32 statusText = kTextInsertSuccessful;
	if (status == kJobEndedAborted)
		statusText = kTextInsertAborted;
	else if (status == kJobEndedWithErrors)
		statusText = kTextInsertEndedWithErrors;
	lines.push_back({kLineStatistics, statusText, {}});
	return lines;
}

int32 InsertStatistics::EndStatus(bool aborted) const
{
	if (aborted)
		return kJobEndedAborted;
	return errors != 0 ? kJobEndedWithErrors : kJobEndedSuccessfully;
}
