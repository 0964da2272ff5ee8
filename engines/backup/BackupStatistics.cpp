#include "BackupStatistics.h"

#include "JobStatistics.h"
#include "BackupTexts.h"

double BackupStatistics::PackRatio() const
{
	if (rawBytes <= 0)
		return 0.0;
	return 100.0 * double(rawBytes - packedBytes) / double(rawBytes);
}

int64 BackupStatistics::Speed() const
{
	return int64(JobStatistics::Speed(bytesSaved, elapsedSeconds, pausedSeconds));
}

std::vector<JobReportLine> BackupStatistics::Lines() const
{
	std::vector<JobReportLine> lines;
	lines.push_back({kLineType, kTextSingle, {" "}});
	lines.push_back({kLineType, kTextFilesSaved, {filesSaved}});
	lines.push_back(JobStatistics::AmountLine(kTextBytesSavedMB, double(bytesSaved)));
	if (packedBytes != rawBytes && packedBytes != 0)
		lines.push_back({kLineType, kTextPackRatio, {PackRatio()}});
	lines.push_back(JobStatistics::TimeLine(elapsedSeconds));
	lines.push_back(JobStatistics::AmountLine(kTextSpeedMB, double(Speed())));
	int32 status = EndStatus();
	int32 statusText = kTextBackupSuccessful;
	if (status == kJobEndedAborted)
		statusText = kTextBackupAborted;
	else if (status == kJobEndedWithErrors)
		statusText = kTextBackupEndedWithErrors;
	lines.push_back({kLineType, statusText, {}});
	return lines;
}

int32 BackupStatistics::EndStatus() const
{
	if (aborted)
		return kJobEndedAborted;
	return errors > 0 ? kJobEndedWithErrors : kJobEndedSuccessfully;
}
