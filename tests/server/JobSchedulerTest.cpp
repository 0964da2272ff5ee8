// When a repeating job starts next: catch-up after downtime, excluded
// weekdays, months of different lengths, daylight-saving changes, and
// schedules whose fields make no sense. Every test fixes the time zone.

#include <gtest/gtest.h>

#include <ctime>
#include <memory>

#include "MVJobScheduler.h"
#include "TestFolder.h"

namespace {

constexpr int32 kHour = 3600;
constexpr int32 kDay = 86400;
// Central European time with its daylight-saving rule, written out so that
// no time zone database is needed.
constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";

class JobSchedulerTest : public testing::Test {
protected:
	void SetUp() override { UseZone(kBerlin); }

	void TearDown() override
	{
		fZone.reset();
		tzset();
	}

	void UseZone(const char* zone)
	{
		fZone.reset();
		fZone = std::make_unique<ScopedEnv>("TZ", zone);
		tzset();
	}

	// A local time; the zone decides its offset.
	static int32 Local(int year, int month, int day, int hour, int minute = 0)
	{
		struct tm local = {};
		local.tm_year = year - 1900;
		local.tm_mon = month - 1;
		local.tm_mday = day;
		local.tm_hour = hour;
		local.tm_min = minute;
		local.tm_isdst = -1;
		return int32(mktime(&local));
	}

	static BMessage Schedule(int32 months, int32 days, int32 hours, int32 minutes)
	{
		BMessage schedule;
		schedule.AddInt32("Months", months);
		schedule.AddInt32("Days", days);
		schedule.AddInt32("Hours", hours);
		schedule.AddInt32("Minutes", minutes);
		return schedule;
	}

	static int32 Next(const BMessage& schedule, int32 date, int32 now)
	{
		int32 next = 0;
		EXPECT_TRUE(MVJobScheduler::NextStart(schedule, date, now, &next));
		return next;
	}

	std::unique_ptr<ScopedEnv> fZone;
};

}	// namespace

// A daily job at 02:00 that skips the weekend and ends on Friday at 02:30 is
// next due on Monday at 02:00.
TEST_F(JobSchedulerTest, ExcludedWeekendIsSkipped)
{
	BMessage schedule = Schedule(0, 1, 0, 0);
	schedule.AddBool("Saturday", true);
	schedule.AddBool("Sunday", true);
	schedule.AddBool("Monday", false);

	int32 friday = Local(2026, 3, 6, 2);
	EXPECT_EQ(Next(schedule, friday, friday + 30 * 60), Local(2026, 3, 9, 2));
	// Without the exclusion the next day is taken.
	EXPECT_EQ(Next(Schedule(0, 1, 0, 0), friday, friday + 30 * 60), Local(2026, 3, 7, 2));
}

// An hourly job whose server was down for ten hours runs on its own grid:
// the first whole hour after now, not ten times in a row.
TEST_F(JobSchedulerTest, MissedRunsAreCaughtUpOnTheGrid)
{
	BMessage hourly = Schedule(0, 0, 1, 0);
	int32 date = Local(2026, 5, 4, 8, 15);
	int32 now = date + 10 * kHour + 20 * 60;
	EXPECT_EQ(Next(hourly, date, now), date + 11 * kHour);
	// On the grid point itself the run at now is the one just made.
	EXPECT_EQ(Next(hourly, date, date + 10 * kHour), date + 11 * kHour);

	// A daily job missed for a week lands on the next day's time.
	BMessage daily = Schedule(0, 1, 0, 0);
	EXPECT_EQ(Next(daily, Local(2026, 5, 4, 6), Local(2026, 5, 11, 7)), Local(2026, 5, 12, 6));
	EXPECT_EQ(Next(daily, Local(2026, 5, 4, 6), Local(2026, 5, 11, 5)), Local(2026, 5, 11, 6));
}

// A monthly job of 31 January rolls over to early March, and the next
// month is added to that date.
TEST_F(JobSchedulerTest, MonthsRollOverShortMonths)
{
	BMessage monthly = Schedule(1, 0, 0, 0);
	int32 january = Local(2026, 1, 31, 10);
	int32 march = Next(monthly, january, january + kHour);
	EXPECT_EQ(march, Local(2026, 3, 3, 10));
	EXPECT_EQ(Next(monthly, march, march + kHour), Local(2026, 4, 3, 10));

	// Months carry into the year, and 29 February of a leap year stays.
	EXPECT_EQ(Next(Schedule(14, 0, 0, 0), Local(2027, 12, 29, 9), Local(2027, 12, 29, 10)),
		Local(2029, 3, 1, 9));
	EXPECT_EQ(Next(monthly, Local(2028, 1, 29, 9), Local(2028, 1, 29, 10)),
		Local(2028, 2, 29, 9));
	// Months and days together: the days first, then the month.
	EXPECT_EQ(Next(Schedule(1, 1, 0, 0), Local(2026, 1, 30, 9), Local(2026, 1, 30, 10)),
		Local(2026, 3, 3, 9));
}

// A daily job keeps its wall-clock hour across the change to summer time
// and back; an hourly job counts real hours through the change.
TEST_F(JobSchedulerTest, DaylightSavingChanges)
{
	BMessage daily = Schedule(0, 1, 0, 0);
	int32 saturday = Local(2026, 3, 28, 1);
	int32 sunday = Next(daily, saturday, saturday + kHour);
	EXPECT_EQ(sunday, Local(2026, 3, 29, 1));
	int32 monday = Next(daily, sunday, sunday + kHour);
	EXPECT_EQ(monday, Local(2026, 3, 30, 1));
	// That Sunday had 23 hours.
	EXPECT_EQ(monday - sunday, 23 * kHour);

	int32 autumn = Local(2026, 10, 24, 4);
	int32 next = Next(daily, autumn, autumn + kHour);
	EXPECT_EQ(next, Local(2026, 10, 25, 4));
	EXPECT_EQ(next - autumn, 25 * kHour);

	// A week missed across the change still lands on 04:00.
	EXPECT_EQ(Next(daily, Local(2026, 10, 20, 4), Local(2026, 10, 27, 3, 30)),
		Local(2026, 10, 27, 4));

	BMessage hourly = Schedule(0, 0, 1, 0);
	int32 beforeChange = Local(2026, 3, 29, 1, 30);
	EXPECT_EQ(Next(hourly, beforeChange, beforeChange + 60), beforeChange + kHour);
	struct tm local;
	time_t after = beforeChange + kHour;
	localtime_r(&after, &local);
	EXPECT_EQ(local.tm_hour, 3);
}

// Schedules without a run left: no interval, every weekday excluded,
// fields out of range. None of them loops for long.
TEST_F(JobSchedulerTest, SchedulesWithoutANextRun)
{
	int32 date = Local(2026, 6, 1, 12);
	int32 next = 0;
	EXPECT_FALSE(MVJobScheduler::NextStart(BMessage(), date, date, &next));
	EXPECT_FALSE(MVJobScheduler::NextStart(Schedule(0, 0, 0, 0), date, date, &next));

	BMessage everyDay = Schedule(0, 1, 0, 0);
	for (const char* day : MVJobScheduler::kWeekdayNames)
		everyDay.AddBool(day, true);
	EXPECT_FALSE(MVJobScheduler::NextStart(everyDay, date, date, &next));
	BMessage monthly = Schedule(1, 0, 0, 0);
	for (const char* day : MVJobScheduler::kWeekdayNames)
		monthly.AddBool(day, true);
	EXPECT_FALSE(MVJobScheduler::NextStart(monthly, date, date, &next));

	// Negative or huge intervals, and times that leave the 4-byte range.
	EXPECT_FALSE(MVJobScheduler::NextStart(Schedule(0, 0, -1, 0), date, date, &next));
	EXPECT_FALSE(MVJobScheduler::NextStart(Schedule(-1, 0, 0, 0), date, date, &next));
	EXPECT_FALSE(MVJobScheduler::NextStart(Schedule(0, INT32_MAX, 0, 0), date, date, &next));
	EXPECT_FALSE(MVJobScheduler::NextStart(Schedule(INT32_MAX, 0, 0, 0), date, date, &next));
	EXPECT_FALSE(MVJobScheduler::NextStart(Schedule(1200, 0, 0, 0), date, date, &next));
	EXPECT_FALSE(MVJobScheduler::NextStart(Schedule(0, 0, 0, 1), INT32_MAX - 30, INT32_MAX - 30,
		&next));
	EXPECT_FALSE(MVJobScheduler::NextStart(Schedule(0, 20000, 0, 0), date, date, &next));

	// A minute interval from a date long past catches up in one go.
	int32 longAgo = INT32_MIN + 7;
	int32 caughtUp = Next(Schedule(0, 0, 0, 1), longAgo, date + 13);
	EXPECT_GE(caughtUp, date + 13);
	EXPECT_LE(caughtUp, date + 13 + 60);
	EXPECT_EQ((int64(caughtUp) - longAgo) % 60, 0);
}
