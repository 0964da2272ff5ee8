#include <interface/Alert.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <support/Errors.h>

namespace {

// Captures what alerts log and puts the previous sink back afterwards.
class CapturedLog {
public:
	CapturedLog()
	{
		fOld = BAlert::SetLogSink([this](const char* line) { fLines.push_back(line); });
	}
	~CapturedLog() { BAlert::SetLogSink(std::move(fOld)); }

	const std::vector<std::string>& Lines() const { return fLines; }

private:
	std::vector<std::string> fLines;
	BAlert::LogSink fOld;
};

// A presenter for the test's lifetime.
class ScopedPresenter {
public:
	explicit ScopedPresenter(BAlert::Presenter presenter)
		: fOld(BAlert::SetPresenter(std::move(presenter))) {}
	~ScopedPresenter() { BAlert::SetPresenter(std::move(fOld)); }

private:
	BAlert::Presenter fOld;
};

// Tells whether a BAlert was destroyed.
class TracedAlert : public BAlert {
public:
	TracedAlert(bool* destroyed, const char* button1, const char* button2 = nullptr,
		const char* button3 = nullptr)
		: BAlert("Traced", "text", button1, button2, button3), fDestroyed(destroyed) {}
	~TracedAlert() override { *fDestroyed = true; }

private:
	bool* fDestroyed;
};

}	// namespace

// Without a display an alert is logged as one line and answered at once
// with its last button; Go() deletes it.
TEST(AlertTest, AnswersWithTheDefaultButtonWithoutADisplay)
{
	CapturedLog log;
	BAlert* alert = new BAlert("Disk full", "The destination has no space left.",
		"Cancel", "Retry", nullptr, B_WIDTH_AS_USUAL, B_WARNING_ALERT);
	EXPECT_EQ(alert->CountButtons(), 2);
	EXPECT_EQ(alert->DefaultButton(), 1);
	EXPECT_EQ(alert->Go(), 1);
	ASSERT_EQ(log.Lines().size(), 1u);
	EXPECT_EQ(log.Lines()[0], "Alert (warning) \"Disk full\": The destination has no space"
		" left. Buttons: [Cancel] [Retry]. Answered [Retry] (the default; no display).");

	EXPECT_EQ((new BAlert("Note", "Done.", "OK"))->Go(), 0);
	EXPECT_EQ((new BAlert("Three", "Pick.", "A", "B", "C", B_WIDTH_FROM_WIDEST,
		B_OFFSET_SPACING, B_STOP_ALERT))->Go(), 2);
	EXPECT_EQ(log.Lines().size(), 3u);

	bool destroyed = false;
	EXPECT_EQ((new TracedAlert(&destroyed, "OK"))->Go(), 0);
	EXPECT_TRUE(destroyed);
}

// Buttons end at the first missing label; an alert without any is logged
// but cannot be answered.
TEST(AlertTest, CountsButtonsUpToTheFirstMissingLabel)
{
	CapturedLog log;
	BAlert* gap = new BAlert("Gap", "text", "One", nullptr, "Three");
	EXPECT_EQ(gap->CountButtons(), 1);
	EXPECT_STREQ(gap->ButtonLabel(0), "One");
	EXPECT_EQ(gap->ButtonLabel(1), nullptr);
	EXPECT_EQ(gap->Go(), 0);

	BAlert* none = new BAlert(nullptr, nullptr, nullptr);
	EXPECT_EQ(none->CountButtons(), 0);
	EXPECT_EQ(none->Go(), B_ERROR);
	ASSERT_EQ(log.Lines().size(), 2u);
	EXPECT_EQ(log.Lines()[1], "Alert (info) \"\":  Buttons: none. Not answered.");
}

// Line breaks and other control characters in texts cannot break or forge
// log lines.
TEST(AlertTest, EscapesControlCharactersInTheLog)
{
	CapturedLog log;
	(void)(new BAlert("Two\nlines", "a\tb\rc\\d\x1b[31m\x7f", "O\nK"))->Go();
	ASSERT_EQ(log.Lines().size(), 1u);
	const std::string& line = log.Lines()[0];
	EXPECT_EQ(line.find_first_of("\n\r\t\x1b\x7f"), std::string::npos);
	EXPECT_NE(line.find("\"Two\\nlines\": a\\tb\\rc\\\\d\\x1b[31m\\x7f"), std::string::npos);
	EXPECT_NE(line.find("[O\\nK]"), std::string::npos);
}

// An installed presenter is asked instead of the log, sees the whole alert,
// and its answer is checked against the buttons.
TEST(AlertTest, AsksAnInstalledPresenter)
{
	CapturedLog log;
	int32 answer = 0;
	std::string seen;
	ScopedPresenter presenter([&](const BAlert& alert) {
		seen = std::string(alert.Title()) + "|" + alert.Text() + "|"
			+ alert.ButtonLabel(alert.DefaultButton()) + "|" + alert.Shortcut(0)
			+ "|" + std::to_string(alert.Type());
		return answer;
	});

	BAlert* alert = new BAlert("Title", "Text", "Stop", "Go", nullptr, B_WIDTH_AS_USUAL,
		B_IDEA_ALERT);
	alert->SetShortcut(0, 's');
	EXPECT_EQ(alert->Go(), 0);
	EXPECT_EQ(seen, "Title|Text|Go|s|2");
	EXPECT_TRUE(log.Lines().empty());

	answer = 2;
	EXPECT_EQ((new BAlert("T", "X", "A", "B"))->Go(), B_ERROR);
	answer = -4;
	EXPECT_EQ((new BAlert("T", "X", "A", "B"))->Go(), B_ERROR);
}

// A subclass that displays overrides the presenting hook.
TEST(AlertTest, LetsASubclassPresent)
{
	class DisplayedAlert : public BAlert {
	public:
		DisplayedAlert() : BAlert("Shown", "text", "No", "Yes") {}

	protected:
		int32 Present() override { return 0; }
	};
	CapturedLog log;
	EXPECT_EQ((new DisplayedAlert)->Go(), 0);
	EXPECT_TRUE(log.Lines().empty());
}

// Without a sink, or once the sink is taken away, alerts go to standard error.
TEST(AlertTest, LogsToStandardErrorByDefault)
{
	BAlert::LogSink old = BAlert::SetLogSink(nullptr);
	testing::internal::CaptureStderr();
	EXPECT_EQ((new BAlert("Server", "No display here.", "OK"))->Go(), 0);
	std::string written = testing::internal::GetCapturedStderr();
	BAlert::SetLogSink(std::move(old));
	EXPECT_EQ(written, "Alert (info) \"Server\": No display here. Buttons: [OK]. Answered [OK]"
		" (the default; no display).\n");
}
