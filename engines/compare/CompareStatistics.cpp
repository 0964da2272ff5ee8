#include "CompareStatistics.h"

#include "CompareTexts.h"
#include "JobStatistics.h"

std::vector<JobReportLine> CompareStatistics::EndLines(int32 elapsed, int32 paused,
	bool aborted) const
{
	static constexpr StatisticsTexts kTexts = {kTextFilesCompared, kTextBytesComparedMB,
		kTextCompareSuccessful, kTextCompareAborted, kTextCompareEndedWithErrors};
	return JobStatistics::EndBlock(kTexts, filesCompared, bytesCompared, {
		{kLineStatistics, kTextMisscompared, {misscompared}},
		{kLineStatistics, kTextReadErrors, {readErrors}}}, elapsed, paused,
		EndStatus(aborted));
}

int32 CompareStatistics::EndStatus(bool aborted) const
{
	return JobStatistics::EndStatus(aborted, misscompared != 0 || readErrors != 0);
}
