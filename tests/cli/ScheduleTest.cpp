// Start times, repeat intervals and skipped weekdays as the command line gives them.

#include "Schedule.h"

#include <gtest/gtest.h>

// Repeat intervals take whole numbers with the units M, d, h, m, each at most once.
TEST(ScheduleTest, RepeatIntervals)
{
	struct Case {
		const char* text;
		int32 months, days, hours, minutes;
	};
	for (const Case& good : {Case{"1d", 0, 1, 0, 0}, Case{"12h", 0, 0, 12, 0},
			Case{"30m", 0, 0, 0, 30}, Case{"1M2d", 1, 2, 0, 0}, Case{"2d1M", 1, 2, 0, 0},
			Case{"1M2d3h4m", 1, 2, 3, 4}, Case{"0d5m", 0, 0, 0, 5}}) {
		Schedule schedule;
		std::string error;
		ASSERT_TRUE(schedule.ParseRepeat(good.text, &error)) << good.text << ": " << error;
		EXPECT_EQ(schedule.Months(), good.months) << good.text;
		EXPECT_EQ(schedule.Days(), good.days) << good.text;
		EXPECT_EQ(schedule.Hours(), good.hours) << good.text;
		EXPECT_EQ(schedule.Minutes(), good.minutes) << good.text;
		EXPECT_TRUE(schedule.Repeats());
	}
	for (const char* bad : {"", "d", "1", "1x", "1d1d", "0d", "0M0m", "-1d", "1.5h", "1 d",
			"100001d", "99999999999999999999m", "1D"}) {
		Schedule schedule;
		std::string error;
		EXPECT_FALSE(schedule.ParseRepeat(bad, &error)) << bad;
		EXPECT_FALSE(error.empty()) << bad;
		EXPECT_FALSE(schedule.Repeats()) << bad;
	}
}

// Start times are local "YYYY-MM-DD HH:MM"; impossible dates are refused, not rolled over.
TEST(ScheduleTest, StartTimes)
{
	Schedule schedule;
	std::string error;
	ASSERT_TRUE(schedule.ParseStart("2031-12-31 23:59", &error)) << error;
	time_t when = schedule.Start();
	tm local;
	localtime_r(&when, &local);
	EXPECT_EQ(local.tm_year + 1900, 2031);
	EXPECT_EQ(local.tm_mon, 11);
	EXPECT_EQ(local.tm_mday, 31);
	EXPECT_EQ(local.tm_hour, 23);
	EXPECT_EQ(local.tm_min, 59);
	for (const char* bad : {"2031-02-29 10:00", "2031-13-01 10:00", "2031-01-01 24:00",
			"2031-01-01 10:60", "2031-01-01", "10:00", "2031-01-01 10:00x", "1960-01-01 00:00",
			"2200-01-01 00:00"}) {
		Schedule other;
		EXPECT_FALSE(other.ParseStart(bad, &error)) << bad;
		EXPECT_EQ(other.Start(), 0) << bad;
	}
}

// Skipped weekdays become the schedule's weekday flags; all seven would never run.
TEST(ScheduleTest, SkippedDaysAndTheMessage)
{
	Schedule schedule;
	std::string error;
	ASSERT_TRUE(schedule.ParseSkipDays("sat,SUN,Wednesday", &error)) << error;
	EXPECT_EQ(schedule.SkippedDays(), (1 << 6) | (1 << 0) | (1 << 3));
	EXPECT_FALSE(schedule.ParseSkipDays("sat,,sun", &error));
	EXPECT_FALSE(schedule.ParseSkipDays("sa", &error));
	EXPECT_FALSE(schedule.ParseSkipDays("mon,tue,wed,thu,fri,sat,sun", &error));
	EXPECT_EQ(schedule.SkippedDays(), (1 << 6) | (1 << 0) | (1 << 3));

	ASSERT_TRUE(schedule.ParseRepeat("12h", &error));
	schedule.SetStart(1800000000);
	BMessage scheduler;
	schedule.Fill(&scheduler);
	int32 start = 0;
	EXPECT_EQ(scheduler.FindTime("TIME", &start), B_OK);
	EXPECT_EQ(start, 1800000000);
	EXPECT_EQ(scheduler.GetInt32("Hours", 0), 12);
	EXPECT_EQ(scheduler.GetInt32("Days", -1), 0);
	EXPECT_TRUE(scheduler.GetBool("Wednesday"));
	EXPECT_FALSE(scheduler.GetBool("Friday", true));
}
