#include <gtest/gtest.h>

#include "JobStatistics.h"

// Speed counts working seconds only; a job quicker than a second shows the
// bytes it moved per second as a lower bound, not 0.
TEST(JobStatisticsTest, SpeedOverWorkingTime)
{
	struct Case {
		int64 bytes;
		int32 elapsed;
		int32 paused;
		double speed;
	};
	const Case cases[] = {
		{1000, 10, 0, 100},
		{1000, 10, 5, 200},
		{4000000, 0, 0, 4000000},
		{4000000, 3, 3, 4000000},
		{0, 10, 0, 0},
		{0, 0, 0, 0},
	};
	for (const Case& test : cases) {
		EXPECT_DOUBLE_EQ(JobStatistics::Speed(test.bytes, test.elapsed, test.paused), test.speed)
			<< test.bytes << " in " << test.elapsed << " - " << test.paused;
	}
}
