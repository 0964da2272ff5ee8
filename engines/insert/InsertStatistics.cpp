#include "InsertStatistics.h"

#include "InsertTexts.h"
#include "JobStatistics.h"

std::vector<JobReportLine> InsertStatistics::EndLines(int32 elapsed, int32 paused,
	bool aborted) const
{
	static constexpr StatisticsTexts kTexts = {kTextFilesInserted, kTextBytesInsertedMB,
		kTextInsertSuccessful, kTextInsertAborted, kTextInsertEndedWithErrors};
	return JobStatistics::EndBlock(kTexts, filesInserted, bytesInserted, {}, elapsed, paused,
		EndStatus(aborted));
}

int32 InsertStatistics::EndStatus(bool aborted) const
{
	return JobStatistics::EndStatus(aborted, errors != 0);
}
