#include "JobStatistics.h"

#include <algorithm>

#include "JobEndStatus.h"
#include "JobTexts.h"
#include "ReportLineType.h"

JobReportLine JobStatistics::AmountLine(int32 megabyteText, double amount)
{
	if (amount > double(kMegabyte))
		return {kLineStatistics, megabyteText, {amount / double(kMegabyte)}};
	if (amount > double(kKilobyte))
		return {kLineStatistics, megabyteText + 1, {amount / double(kKilobyte)}};
	return {kLineStatistics, megabyteText + 2, {int64(amount)}};
}

JobReportLine JobStatistics::TimeLine(int32 elapsedSeconds)
{
	int32 seconds = elapsedSeconds > 0 ? elapsedSeconds : 0;
	return {kLineStatistics, kTextTime,
		{int32(seconds / 3600), int32(seconds / 60 % 60), int32(seconds % 60)}};
}

JobReportLine JobStatistics::SpeedLine(int64 bytes, int32 elapsedSeconds, int32 pausedSeconds)
{
	return AmountLine(kTextSpeedMB, Speed(bytes, elapsedSeconds, pausedSeconds));
}

double JobStatistics::Speed(int64 bytes, int32 elapsedSeconds, int32 pausedSeconds)
{
	int32 working = std::max(elapsedSeconds - pausedSeconds, 1);
	return bytes > 0 ? double(bytes) / double(working) : 0.0;
}

std::string JobStatistics::DateText(time_t date)
{
	char buffer[64];
	if (ctime_r(&date, buffer) == nullptr)
		return std::string();
	std::string text(buffer);
	if (!text.empty() && text.back() == '\n')
		text.pop_back();
	return text;
}

std::vector<JobReportLine> JobStatistics::EndBlock(const StatisticsTexts& texts, int32 count,
	int64 amount, const std::vector<JobReportLine>& extra, int32 elapsedSeconds,
	int32 pausedSeconds, int32 status)
{
	int32 elapsed = elapsedSeconds > 0 ? elapsedSeconds : 0;
	std::vector<JobReportLine> lines;
	lines.push_back({kLineStatistics, kTextSingle, {" "}});
	lines.push_back({kLineStatistics, texts.count, {count}});
	lines.push_back(AmountLine(texts.amountMB, double(amount)));
	lines.insert(lines.end(), extra.begin(), extra.end());
	lines.push_back(TimeLine(elapsed));
	lines.push_back(SpeedLine(amount, elapsed, pausedSeconds));
	int32 statusText = texts.successful;
	if (status == kJobEndedAborted)
		statusText = texts.aborted;
	else if (status == kJobEndedWithErrors)
		statusText = texts.endedWithErrors;
	lines.push_back({kLineStatistics, statusText, {}});
	return lines;
}

int32 JobStatistics::EndStatus(bool aborted, bool errors)
{
	if (aborted)
		return kJobEndedAborted;
	return errors ? kJobEndedWithErrors : kJobEndedSuccessfully;
}
