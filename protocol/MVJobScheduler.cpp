#include "MVJobScheduler.h"

#include <cstdint>
#include <ctime>

namespace {

constexpr int64 kSecondsPerDay = 86400;
constexpr int64 kSecondsPerHour = 3600;
constexpr int64 kSecondsPerMinute = 60;
// A 4-byte time spans about 136 years; a longer interval never fits.
constexpr int64 kMaxStep = int64(UINT32_MAX);
constexpr int64 kMaxMonths = 136 * 12;

struct Interval {
	int64 months;
	int64 days;
	int64 hours;
	int64 minutes;

	int64 Step() const
	{
		return days * kSecondsPerDay + hours * kSecondsPerHour + minutes * kSecondsPerMinute;
	}

	bool IsEmpty() const { return months == 0 && days == 0 && hours == 0 && minutes == 0; }

	bool IsInRange() const
	{
		if (months < 0 || days < 0 || hours < 0 || minutes < 0)
			return false;
		return months <= kMaxMonths && Step() <= kMaxStep;
	}

	// Whole days are counted on the calendar, so that a daily job keeps
	// its hour when the clocks change.
	bool KeepsWallClock() const { return days != 0 && hours == 0 && minutes == 0; }
};

Interval ReadInterval(const BMessage& schedule)
{
	return Interval{schedule.GetInt32("Months", 0), schedule.GetInt32("Days", 0),
		schedule.GetInt32("Hours", 0), schedule.GetInt32("Minutes", 0)};
}

bool FitsTime(int64 time)
{
	return time >= INT32_MIN && time <= INT32_MAX;
}

// Adds days, then months, to the local date of time; a day beyond the end
// of the month rolls over into the next one. The callers keep days and
// months small enough for the fields of struct tm.
bool AddCalendar(int64* time, int64 days, int64 months)
{
	time_t seconds = time_t(*time);
	struct tm local;
	if (localtime_r(&seconds, &local) == nullptr)
		return false;
	local.tm_mday += int(days);
	if (months != 0) {
		int64 month = int64(local.tm_mon) + months;
		local.tm_year += int(month / 12);
		local.tm_mon = int(month % 12);
	}
	// Let the conversion find the offset of the new date.
	local.tm_isdst = -1;
	time_t result = mktime(&local);
	if (result == time_t(-1) || !FitsTime(result))
		return false;
	*time = result;
	return true;
}

bool Advance(const Interval& interval, int64* time)
{
	if (interval.KeepsWallClock()) {
		if (!AddCalendar(time, interval.days, 0))
			return false;
	} else {
		*time += interval.Step();
	}
	if (!FitsTime(*time))
		return false;
	return interval.months == 0 || AddCalendar(time, 0, interval.months);
}

// Skips the runs missed while the server was down, staying on the grid of
// the interval: the result is the last grid point that the candidate loop
// must still step over.
int64 CatchUp(const Interval& interval, int64 date, int64 now)
{
	int64 step = interval.Step();
	if (step == 0 || interval.months != 0 || date >= now)
		return date;
	int64 steps = (now - date) / step;
	if (!interval.KeepsWallClock())
		return date + steps * step;
	// A local day may be an hour shorter or longer than step; one step
	// less leaves the first run after now to the candidate loop.
	if (steps > 0)
		steps--;
	int64 caughtUp = date;
	if (!AddCalendar(&caughtUp, steps * interval.days, 0))
		return date;
	return caughtUp;
}

}	// namespace

bool MVJobScheduler::NextStart(const BMessage& schedule, int32 date, int32 now, int32* next)
{
	Interval interval = ReadInterval(schedule);
	if (interval.IsEmpty() || !interval.IsInRange())
		return false;
	int64 candidate = CatchUp(interval, date, now);
	for (int32 i = 0; i < kMaxCandidates; i++) {
		if (!Advance(interval, &candidate))
			return false;
		if (_IsExcluded(schedule, candidate) || candidate < now)
			continue;
		*next = int32(candidate);
		return true;
	}
	return false;
}

bool MVJobScheduler::_IsExcluded(const BMessage& schedule, int64 time)
{
	time_t seconds = time_t(time);
	struct tm local;
	if (localtime_r(&seconds, &local) == nullptr || local.tm_wday < 0 || local.tm_wday > 6)
		return false;
	return schedule.GetBool(kWeekdayNames[local.tm_wday], false);
}
