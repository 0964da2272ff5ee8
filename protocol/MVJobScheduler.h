#pragma once

// MVJobScheduler: when a repeating job starts next. A schedule is the
// "scheduler" message of a job record: the start time "TIME", the repeat
// interval "Months", "Days", "Hours", "Minutes" (int32, 0 when missing) and
// one bool per English weekday name, true when no run may start on that day.
//
// Calendar arithmetic is done in local time, so the answers depend on the
// process's time zone (TZ). An interval of whole days keeps the wall-clock
// time of its runs across daylight-saving changes; an interval with hours or
// minutes counts elapsed seconds, so an hourly job runs every 3600 seconds.
//
// Every loop is bounded: a schedule with fields out of range (negative,
// beyond what a 4-byte time can hold, every weekday excluded) yields no next
// start after at most kMaxCandidates candidates.
//
// Stateless; any thread may call it.

#include <app/Message.h>

class MVJobScheduler {
public:
	static constexpr int32 kMaxCandidates = 10000;
	static constexpr const char* kWeekdayNames[7] = {"Sunday", "Monday", "Tuesday",
		"Wednesday", "Thursday", "Friday", "Saturday"};

	// The next start of a job whose last start was at date, as seen at now
	// (seconds since 1970). Runs missed while the server was down are
	// skipped in one go, staying on the interval's grid; the result is
	// never earlier than now and never on an excluded weekday. False when
	// the schedule has no interval or no acceptable start is found.
	[[nodiscard]] static bool NextStart(const BMessage& schedule, int32 date, int32 now,
		int32* next);


private:
	// Whether the weekday of the time, in local time, is excluded.
	static bool _IsExcluded(const BMessage& schedule, int64 time);
};
