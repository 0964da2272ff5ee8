#include "Schedule.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <strings.h>

const char* const Schedule::kWeekdayFields[7] = {"Sunday", "Monday", "Tuesday", "Wednesday",
	"Thursday", "Friday", "Saturday"};

namespace {

bool Fail(std::string* error, const std::string& text)
{
	*error = text;
	return false;
}

// The weekday of a name: its first three letters or the whole English name.
int WeekdayOf(const std::string& name)
{
	for (int day = 0; day < 7; day++) {
		const char* full = Schedule::kWeekdayFields[day];
		if (strcasecmp(name.c_str(), full) == 0
			|| (name.size() == 3 && strncasecmp(name.c_str(), full, 3) == 0)) {
			return day;
		}
	}
	return -1;
}

}	// namespace

bool Schedule::ParseStart(const std::string& text, std::string* error)
{
	int year, month, day, hour, minute;
	char end;
	if (sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &year, &month, &day, &hour, &minute,
			&end) != 5) {
		return Fail(error, "'" + text + "' is not a time of the form \"YYYY-MM-DD HH:MM\"");
	}
	tm local = {};
	local.tm_year = year - 1900;
	local.tm_mon = month - 1;
	local.tm_mday = day;
	local.tm_hour = hour;
	local.tm_min = minute;
	local.tm_isdst = -1;
	tm check = local;
	time_t when = mktime(&check);
	// mktime normalises "02-30" into March; such a date was mistyped.
	bool normalised = check.tm_mday != day || check.tm_mon != month - 1
		|| check.tm_year != year - 1900 || check.tm_min != minute;
	if (when == time_t(-1) || normalised || year < 1970 || when > time_t(INT32_MAX))
		return Fail(error, "'" + text + "' is not a valid date and time");
	fStart = int32(when);
	return true;
}

bool Schedule::ParseRepeat(const std::string& text, std::string* error)
{
	int32 values[4] = {};       // months, days, hours, minutes
	bool seen[4] = {};
	size_t position = 0;
	if (text.empty())
		return Fail(error, "the repeat interval is empty");
	while (position < text.size()) {
		size_t digits = position;
		int64 value = 0;
		while (digits < text.size() && isdigit((unsigned char)text[digits])) {
			value = value * 10 + (text[digits] - '0');
			if (value > kMaxUnitValue)
				return Fail(error, "the repeat interval '" + text + "' is too long");
			digits++;
		}
		if (digits == position || digits == text.size()) {
			return Fail(error, "'" + text + "' is not a repeat interval such as 1d, 12h, 30m"
				" or 1M2d");
		}
		int unit;
		switch (text[digits]) {
			case 'M': unit = 0; break;
			case 'd': unit = 1; break;
			case 'h': unit = 2; break;
			case 'm': unit = 3; break;
			default:
				return Fail(error, std::string("unknown unit '") + text[digits] + "' in '" + text
					+ "' (M months, d days, h hours, m minutes)");
		}
		if (seen[unit])
			return Fail(error, "a unit is given twice in '" + text + "'");
		seen[unit] = true;
		values[unit] = int32(value);
		position = digits + 1;
	}
	if (values[0] + values[1] + values[2] + values[3] == 0)
		return Fail(error, "the repeat interval '" + text + "' is zero");
	fMonths = values[0];
	fDays = values[1];
	fHours = values[2];
	fMinutes = values[3];
	return true;
}

bool Schedule::ParseSkipDays(const std::string& text, std::string* error)
{
	uint8 days = 0;
	size_t start = 0;
	while (start <= text.size()) {
		size_t comma = text.find(',', start);
		std::string name = text.substr(start, comma == std::string::npos ? std::string::npos
			: comma - start);
		int day = WeekdayOf(name);
		if (day < 0)
			return Fail(error, "'" + name + "' is not a weekday (mon, tue, ... sun)");
		days |= uint8(1 << day);
		if (comma == std::string::npos)
			break;
		start = comma + 1;
	}
	if (days == 0x7f)
		return Fail(error, "skipping every weekday leaves no day to run on");
	fSkippedDays = days;
	return true;
}

void Schedule::Fill(BMessage* scheduler) const
{
	scheduler->AddTime("TIME", fStart);
	scheduler->AddInt32("Months", fMonths);
	scheduler->AddInt32("Days", fDays);
	scheduler->AddInt32("Hours", fHours);
	scheduler->AddInt32("Minutes", fMinutes);
	for (int day = 0; day < 7; day++)
		scheduler->AddBool(kWeekdayFields[day], (fSkippedDays & (1 << day)) != 0);
}
