#include "RestoreStatistics.h"

#include "JobStatistics.h"
#include "JobEndStatus.h"
#include "RestoreTexts.h"

std::vector<JobReportLine> RestoreStatistics::EndLines(int32 elapsed, int32 paused,
	bool aborted) const
{
	if (elapsed < 0)
		elapsed = 0;
	std::vector<JobReportLine> lines;
	lines.push_back({kLineStatistics, kTextSingle, {" "}});
	lines.push_back({kLineStatistics, kTextFilesRestored, {filesRestored}});
	lines.push_back(JobStatistics::AmountLine(kTextBytesRestoredMB, double(bytesRestored)));
	lines.push_back(JobStatistics::TimeLine(elapsed));
	lines.push_back(JobStatistics::SpeedLine(bytesRestored, elapsed, paused));
	int32 status = EndStatus(aborted);
	int32 statusText = kTextRestoreSuccessful;
	if (status == kJobEndedAborted)
		statusText = kTextRestoreAborted;
	else if (status == kJobEndedWithErrors)
		statusText = kTextRestoreEndedWithErrors;
	lines.push_back({kLineStatistics, statusText, {}});
	return lines;
}

int32 RestoreStatistics::EndStatus(bool aborted) const
{
	if (aborted)
		return kJobEndedAborted;
	return errors != 0 ? kJobEndedWithErrors : kJobEndedSuccessfully;
}
