#include "BackupSettingsReport.h"

#include "MVEngineTexts.h"
#include "MVTextFormat.h"

namespace {

constexpr int64 kMegabyte = 1048576;

enum : int32 {
	kTextDestination = 25,
	kTextCapacity = 26,
	kTextFreeSpace = 27,
	kTextRemovable = 28,
	kTextNotRemovable = 29,
	kTextOverwrite = 30,
	kTextNoOverwrite = 31,
	kTextMode = 32,
	kTextFull = 174,
	kTextIncremental = 175,
	kTextDifferential = 176,
};

}	// namespace

int32 BackupSettingsReport::ModeTextID(int32 mode)
{
	switch (mode) {
		case 2:
			return kTextIncremental;
		case 3:
			return kTextDifferential;
		default:
			return kTextFull;
	}
}

std::string BackupSettingsReport::TimeText(time_t time)
{
	char buffer[64];
	if (ctime_r(&time, buffer) == nullptr)
		return "";
	std::string text(buffer);
	if (!text.empty() && text.back() == '\n')
		text.pop_back();
	return text;
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
	lines.push_back({kLineType, kTextStart, {TimeText(startTime)}});
	lines.push_back({kLineType, kTextSingle, {" "}});
	return lines;
}
