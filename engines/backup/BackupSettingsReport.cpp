#include "BackupSettingsReport.h"

#include "JobStatistics.h"

#include "BackupTexts.h"
#include "JobType.h"
#include "MVTextFormat.h"

namespace {

constexpr int64 kMegabyte = 1048576;

}	// namespace

int32 BackupSettingsReport::ModeTextID(int32 mode)
{
	switch (mode) {
		case kJobIncrementalBackup:
			return kTextIncrementalMode;
		case kJobDifferentialBackup:
			return kTextDifferentialMode;
		default:
			return kTextFullMode;
	}
}

std::vector<JobReportLine> BackupSettingsReport::Lines() const
{
	std::vector<JobReportLine> lines;
	lines.push_back({kLineType, kTextSingle, {" "}});
	lines.push_back({kLineType, kTextSettings, {}});
	lines.push_back({kLineType, kTextSingle, {" "}});
	lines.push_back({kLineType, kTextDestination, {destinationName}});
	if (capacity > 0) {
		lines.push_back({kLineType, kTextCapacity, {capacity / kMegabyte}});
		lines.push_back({kLineType, kTextFreeSpace,
			{freeSpace > 0 ? freeSpace / kMegabyte : int64(0)}});
	}
	lines.push_back({kLineType, removable ? kTextRemovable : kTextNotRemovable, {}});
	lines.push_back({kLineType, overwrite ? kTextOverwrite : kTextNoOverwrite, {}});
	lines.push_back({kLineType, kTextMode, {MVTextFormat::FormatText(ModeTextID(mode), {})}});
	lines.push_back({kLineType, kTextStart, {JobStatistics::DateText(startTime)}});
	lines.push_back({kLineType, kTextSingle, {" "}});
	return lines;
}
