#include "RestoreStatistics.h"

#include "JobStatistics.h"
#include "RestoreTexts.h"

std::vector<JobReportLine> RestoreStatistics::EndLines(int32 elapsed, int32 paused,
	bool aborted) const
{
	static constexpr StatisticsTexts kTexts = {kTextFilesRestored, kTextBytesRestoredMB,
		kTextRestoreSuccessful, kTextRestoreAborted, kTextRestoreEndedWithErrors};
	return JobStatistics::EndBlock(kTexts, filesRestored, bytesRestored, {}, elapsed, paused,
		EndStatus(aborted));
}

int32 RestoreStatistics::EndStatus(bool aborted) const
{
	return JobStatistics::EndStatus(aborted, errors != 0);
}
