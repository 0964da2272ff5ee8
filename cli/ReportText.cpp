#include "ReportText.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <support/TypeConstants.h>

#include "MVDefaultTexts.h"
#include "MVLocale.h"
#include "ReportLineText.h"

void ReportText::UseEnglish()
{
	InstallDefaultTexts(MVLocale::GetInstance());
}

std::string ReportText::Line(const BMessage& message, int32 index)
{
	return ReportLineText::Render(message, index);
}

std::string ReportText::Line(int32 textID, const void* flattened, size_t size)
{
	return ReportLineText::Render(textID, flattened, size);
}

std::string ReportText::Size(int64 bytes)
{
	char text[32];
	if (bytes < 1024)
		snprintf(text, sizeof(text), "%" PRId64 " bytes", bytes);
	else if (bytes < 1024 * 1024)
		snprintf(text, sizeof(text), "%.1f KB", bytes / 1024.0);
	else if (bytes < int64(1024) * 1024 * 1024)
		snprintf(text, sizeof(text), "%.1f MB", bytes / 1048576.0);
	else
		snprintf(text, sizeof(text), "%.1f GB", bytes / 1073741824.0);
	return text;
}

std::string ReportText::Duration(int64 seconds)
{
	if (seconds < 0)
		return "-";
	char text[32];
	snprintf(text, sizeof(text), "%" PRId64 ":%02d:%02d", seconds / 3600,
		int(seconds / 60 % 60), int(seconds % 60));
	return text;
}

std::string ReportText::Date(int32 seconds)
{
	time_t when = seconds;
	tm local;
	char text[32];
	if (localtime_r(&when, &local) == nullptr
		|| strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local) == 0) {
		return "-";
	}
	return text;
}

std::string ReportText::Progress(const BMessage& progress)
{
	int32 count = progress.GetInt32("count", 0);
	int32 maxCount = progress.GetInt32("maxcount", 0);
	int64 size = progress.GetInt64("size", 0);
	int64 maxSize = progress.GetInt64("maxsize", 0);
	float speed = 0;
	(void)progress.FindFloat("speed", &speed);
	if (!std::isfinite(speed) || speed < 0)
		speed = 0;
	std::string line = std::to_string(count) + "/" + std::to_string(maxCount) + " files  "
		+ Size(size) + " of " + Size(maxSize) + "  " + Size(int64(speed)) + "/s";
	// The time left means nothing before the speed is known.
	if (speed > 0)
		line += "  " + Duration(progress.GetInt32("remain", 0)) + " left";
	return line;
}
