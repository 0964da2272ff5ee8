#pragma once

// The schedule of a job as the command line gives it: a start time
// ("YYYY-MM-DD HH:MM", local time), a repeat interval ("1d", "12h", "30m",
// "1M2d": whole numbers with the units M months, d days, h hours, m minutes,
// each unit at most once) and weekdays on which no run may start. Builds the
// job's "scheduler" message. A value object; not locked.

#include <string>

#include <app/Message.h>

class Schedule {
public:
	// The largest number one unit of an interval takes.
	static constexpr int32 kMaxUnitValue = 100000;

	// Each parser returns false with *error set and leaves the schedule
	// unchanged when the text does not fit.
	bool ParseStart(const std::string& text, std::string* error);
	bool ParseRepeat(const std::string& text, std::string* error);
	// Comma-separated weekdays: "sat,sun", "monday", ... (any case).
	bool ParseSkipDays(const std::string& text, std::string* error);

	void SetStart(int32 seconds) { fStart = seconds; }
	int32 Start() const { return fStart; }
	bool Repeats() const { return fMonths + fDays + fHours + fMinutes > 0; }
	int32 Months() const { return fMonths; }
	int32 Days() const { return fDays; }
	int32 Hours() const { return fHours; }
	int32 Minutes() const { return fMinutes; }
	// Bit n set: no run on weekday n (0 Sunday ... 6 Saturday).
	uint8 SkippedDays() const { return fSkippedDays; }

	// "TIME", the four interval fields and the seven weekday flags.
	void Fill(BMessage* scheduler) const;

	static const char* const kWeekdayFields[7];

private:
	int32 fStart = 0;
	int32 fMonths = 0;
	int32 fDays = 0;
	int32 fHours = 0;
	int32 fMinutes = 0;
	uint8 fSkippedDays = 0;
};
