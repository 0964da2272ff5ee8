// The scheduler window: the input checks, the schedule it builds, a time
// that does not exist shown back before it is taken, and the starts it
// says the server will make.

#include <ctime>

#include <gtest/gtest.h>

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/Display.h>
#include <interface/TextControl.h>

#include "AlertAnswers.h"
#include "GuiTexts.h"
#include "MVDefaultTexts.h"
#include "MVLocale.h"
#include "MVSchedulerWindow.h"
#include "ReplyWindow.h"

namespace {

int32 LocalTime(int year, int month, int day, int hour, int minute)
{
	tm local = {};
	local.tm_year = year - 1900;
	local.tm_mon = month - 1;
	local.tm_mday = day;
	local.tm_hour = hour;
	local.tm_min = minute;
	local.tm_isdst = -1;
	return int32(mktime(&local));
}


struct SchedulerBed {
	SchedulerBed(const BMessage& schedule)
	{
		InstallDefaultTexts(MVLocale::GetInstance());
		setenv("TZ", "UTC", 1);
		tzset();
		owner = new ReplyWindow;
		owner->Show();
		window = new MVSchedulerWindow(BRect(50, 50, 429, 359), schedule, 'schq',
			BMessenger(owner));
		window->Show();
	}

	~SchedulerBed()
	{
		if (BDisplay::FindWindow("Scheduler") == window && window->Lock())
			window->Quit();
		if (owner->Lock())
			owner->Quit();
	}

	void Type(const char* field, const char* text)
	{
		ASSERT_TRUE(window->Lock());
		static_cast<BTextControl*>(window->FindView(field))->SetText(text);
		window->Unlock();
	}

	void PressOk()
	{
		ASSERT_TRUE(window->Lock());
		static_cast<BButton*>(window->FindView("btn_ok"))->Click();
		window->Unlock();
	}

	ReplyWindow* owner;
	MVSchedulerWindow* window;
};


TEST(MVSchedulerWindowTest, InputChecksRefuseTheFormNotTheRange)
{
	struct Case {
		const char* field;
		const char* text;
		const char* alert;   // null: the form is right
	};
	const Case cases[] = {
		{"TIME", "9:30", "Wrong format for time (HH:MM)! Please correct!"},
		{"TIME", "09-30", "Wrong format for time (HH:MM)! Please correct!"},
		{"TIME", "24:99", nullptr},
		{"DATE", "1.2.2027", "Wrong format for date (DD:MM:YYYY)! Please correct!"},
		{"DATE", "31.02.2027", nullptr},
		{"Days", "1x", "Wrong number format (##)! Please correct!"},
		{"Hours", "", "Wrong number format (##)! Please correct!"},
	};
	for (const Case& testCase : cases) {
		SchedulerBed bed(BMessage{});
		bed.Type(testCase.field, testCase.text);
		BMessage schedule;
		int32 alert = 0;
		ASSERT_TRUE(bed.window->Lock());
		bool built = bed.window->Build(&schedule, &alert);
		bed.window->Unlock();
		EXPECT_EQ(built, testCase.alert == nullptr) << testCase.field << " " << testCase.text;
		if (testCase.alert != nullptr) {
			EXPECT_STREQ(GuiText(alert), testCase.alert);
		}
	}
}


TEST(MVSchedulerWindowTest, AScheduleWithoutTimeShowsNowAndBuildsTheFields)
{
	BMessage empty;
	SchedulerBed bed(empty);
	time_t now = time(nullptr);
	char expected[16];
	strftime(expected, sizeof(expected), "%d.%m.%Y", gmtime(&now));
	EXPECT_STREQ(static_cast<BTextControl*>(bed.window->FindView("DATE"))->Text(), expected);

	bed.Type("TIME", "10:00");
	bed.Type("DATE", "31.01.2027");
	bed.Type("Months", "1");
	ASSERT_TRUE(bed.window->Lock());
	static_cast<BCheckBox*>(bed.window->FindView("Sunday"))->SetValue(B_CONTROL_ON);
	bed.window->Unlock();
	bed.PressOk();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return !bed.owner->replies.empty(); }));
	const BMessage& reply = bed.owner->replies[0];
	EXPECT_TRUE(reply.GetBool("result", false));
	BMessage schedule;
	ASSERT_EQ(reply.FindMessage("settings", &schedule), B_OK);
	int32 start = 0;
	ASSERT_EQ(schedule.FindTime("TIME", &start), B_OK);
	EXPECT_EQ(start, LocalTime(2027, 1, 31, 10, 0));
	EXPECT_EQ(schedule.GetInt32("Months", -1), 1);
	EXPECT_EQ(schedule.GetInt32("Minutes", -1), 0);
	EXPECT_TRUE(schedule.GetBool("Sunday", false));
	EXPECT_FALSE(schedule.GetBool("Monday", true));
}


TEST(MVSchedulerWindowTest, ATimeThatDoesNotExistIsShownBeforeItIsTaken)
{
	SchedulerBed bed(BMessage{});
	bed.Type("TIME", "24:00");
	bed.Type("DATE", "31.02.2027");
	AlertAnswers alerts;
	alerts.Expect("Ok");
	bed.PressOk();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
	EXPECT_TRUE(bed.owner->replies.empty()) << "nothing taken yet";
	EXPECT_STREQ(static_cast<BTextControl*>(bed.window->FindView("TIME"))->Text(), "00:00");
	EXPECT_STREQ(static_cast<BTextControl*>(bed.window->FindView("DATE"))->Text(), "04.03.2027");
	bed.PressOk();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return !bed.owner->replies.empty(); }));
	BMessage schedule;
	ASSERT_EQ(bed.owner->replies[0].FindMessage("settings", &schedule), B_OK);
	int32 start = 0;
	ASSERT_EQ(schedule.FindTime("TIME", &start), B_OK);
	EXPECT_EQ(start, LocalTime(2027, 3, 4, 0, 0));
}


TEST(MVSchedulerWindowTest, TheStartsShownAreTheServersStarts)
{
	setenv("TZ", "UTC", 1);
	tzset();
	struct Case {
		const char* what;
		int32 months;
		int32 days;
		const char* excluded;
		std::vector<int32> starts;
	};
	const Case cases[] = {
		{"once", 0, 0, nullptr, {LocalTime(2027, 1, 31, 10, 0)}},
		{"daily", 0, 1, nullptr, {LocalTime(2027, 1, 31, 10, 0), LocalTime(2027, 2, 1, 10, 0),
			LocalTime(2027, 2, 2, 10, 0)}},
		// 31.01.2027 is a Sunday.
		{"daily but Monday", 0, 1, "Monday", {LocalTime(2027, 1, 31, 10, 0),
			LocalTime(2027, 2, 2, 10, 0), LocalTime(2027, 2, 3, 10, 0)}},
	};
	for (const Case& testCase : cases) {
		BMessage schedule;
		schedule.AddTime("TIME", LocalTime(2027, 1, 31, 10, 0));
		schedule.AddInt32("Months", testCase.months);
		schedule.AddInt32("Days", testCase.days);
		if (testCase.excluded != nullptr)
			schedule.AddBool(testCase.excluded, true);
		EXPECT_EQ(MVSchedulerWindow::NextStarts(schedule, 3), testCase.starts) << testCase.what;
	}
}

}	// namespace
