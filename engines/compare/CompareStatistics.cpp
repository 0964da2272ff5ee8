#include "CompareStatistics.h"

#include "CompareTexts.h"
#include "JobEndStatus.h"
#include "JobStatistics.h"

std::vector<JobReportLine> CompareStatistics::EndLines(int32 elapsed, int32 paused,
	bool aborted) const
{
	if (elapsed < 0)
		elapsed = 0;
	std::vector<JobReportLine> lines;
	lines.push_back({kLineStatistics, kTextSingle, {" "}});
	lines.push_back({kLineStatistics, kTextFilesCompared, {filesCompared}});
	lines.push_back(JobStatistics::AmountLine(kTextBytesComparedMB, double(bytesCompared)));
	lines.push_back({kLineStatistics, kTextMisscompared, {misscompared}});
	lines.push_back({kLineStatistics, kTextReadErrors, {readErrors}});
	lines.push_back(JobStatistics::TimeLine(elapsed));
	lines.push_back(JobStatistics::SpeedLine(bytesCompared, elapsed, paused));
	int32 status = EndStatus(aborted);
	int32 statusText = kTextCompareSuccessful;
	if (status == kJobEndedAborted)
		statusText = kTextCompareAborted;
	else if (status == kJobEndedWithErrors)
		statusText = kTextCompareEndedWithErrors;
	lines.push_back({kLineStatistics, statusText, {}});
	return lines;
}

int32 CompareStatistics::EndStatus(bool aborted) const
{
	if (aborted)
		return kJobEndedAborted;
	return misscompared != 0 || readErrors != 0 ? kJobEndedWithErrors : kJobEndedSuccessfully;
}
