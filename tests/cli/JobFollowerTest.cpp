// Following a job without a server: report lines rendered in English, the
// exit status from the end message and error lines, and the answers to a
// job's questions.

#include "JobFollower.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "BackupTexts.h"
#include "ExitStatus.h"
#include "MVReportLine.h"
#include "ReportText.h"
#include "RestoreTexts.h"
#include "ServerProtocol.h"
#include "TestFolder.h"

namespace {

constexpr int32 kJob = 77;

BMessage ReportLine(int32 lineType, int32 textID, const MVTextArguments& arguments)
{
	BMessage line(kMsgJobProgress);
	line.AddInt32("job_id", kJob);
	line.AddInt32("linetype", lineType);
	line.AddInt32("text_id", textID);
	std::string flat = MVReportLine(nullptr, arguments).Flatten();
	line.AddData("reportline", MVReportLine::kTypeCode, flat.data(), flat.size(), false);
	return line;
}

BMessage Finished(int32 status)
{
	BMessage end(kMsgJobFinished);
	end.AddInt32("job_id", kJob);
	end.AddInt32("status", status);
	return end;
}

BMessage Question()
{
	BMessage reply('jbrs');
	reply.AddInt32("job_id", kJob);
	BMessage question(kMsgQuestion);
	question.AddInt32("job_id", kJob);
	question.AddMessage("reply", &reply);
	question.AddString("title", "Change Media");
	question.AddString("text", "Media #1 of '/Tape' full! Please insert new media.");
	question.AddString("label0", "Continue");
	question.AddString("label1", "Abort Job");
	question.AddString("label2", "Delete Job");
	return question;
}

// Captures what a follower prints.
class Capture {
public:
	Capture() : fFile(open_memstream(&fBuffer, &fSize)) {}
	~Capture()
	{
		fclose(fFile);
		free(fBuffer);
	}
	FILE* File() { return fFile; }
	std::string Text()
	{
		fflush(fFile);
		return std::string(fBuffer, fSize);
	}

private:
	char* fBuffer = nullptr;
	size_t fSize = 0;
	FILE* fFile;
};

class JobFollowerTest : public ::testing::Test {
protected:
	void SetUp() override { ReportText::UseEnglish(); }

	JobEventQueue fEvents;
	Capture fOutput;
};

}	// namespace

// Report lines print in English as they come; the end message decides the exit status.
TEST_F(JobFollowerTest, ReportLinesAndExitStatus)
{
	JobFollower follower(fEvents, fOutput.File(), false);
	BMessage progress(kMsgJobProgress);
	progress.AddInt32("job_id", kJob);
	progress.AddInt32("linetype", kLineProgress);
	fEvents.Push(BMessage(kMsgJobStart));
	fEvents.Push(ReportLine(kLineInfo, kTextStartingBackup, {"Daily"}));
	fEvents.Push(progress);
	fEvents.Push(ReportLine(kLineStatistics, kTextFilesSaved, {int32(12)}));
	fEvents.Push(Finished(0));
	EXPECT_EQ(follower.Follow(kJob), kExitSuccess);
	std::string text = fOutput.Text();
	EXPECT_NE(text.find("Starting backup 'Daily':\n"), std::string::npos) << text;
	EXPECT_NE(text.find("Files saved:\t\t12\n"), std::string::npos) << text;
	EXPECT_NE(text.find("ended successfully"), std::string::npos) << text;
	// Outside a terminal no terminal control, and no progress line before its interval.
	EXPECT_EQ(text.find('\r'), std::string::npos);
	EXPECT_EQ(text.find("files"), std::string::npos) << text;

	struct Case {
		std::vector<BMessage> messages;
		int expected;
	};
	for (const Case& ending : {Case{{Finished(1)}, kExitAborted},
			Case{{Finished(2)}, kExitEndedWithErrors},
			Case{{ReportLine(kLineError, kTextCannotRead, {"/Src/gone"}), Finished(0)}, kExitEndedWithErrors},
			Case{{ReportLine(kLineWarning, kTextFolderExists, {"/Src/x"}), Finished(0)}, kExitSuccess},
			Case{{ReportLine(kLineError, kTextNothingSelected, {}), Finished(1)}, kExitAborted}}) {
		JobEventQueue events;
		Capture output;
		JobFollower other(events, output.File(), false);
		for (const BMessage& message : ending.messages)
			events.Push(message);
		EXPECT_EQ(other.Follow(kJob), ending.expected);
	}
}

// By default the items and the settings stay in the report; verbose prints
// them too. Off a terminal progress comes as plain lines now and then.
TEST_F(JobFollowerTest, DefaultOutputLeavesOutItemsAndSettings)
{
	struct Case {
		int32 lineType;
		const char* text;
		bool byDefault;
	};
	const Case cases[] = {
		{kLineInfo, "info", true},
		{kLineWarning, "warning", true},
		{kLineError, "error", true},
		{kLineStatistics, "statistics", true},
		{kLineSettings, "settings", false},
		{kLineVolumeRoot, "/Root", false},
		{kLineDirectory, "/Root/folder", false},
		{kLineSymLink, "/Root/link", false},
		{kLineFile, "/Root/file", false},
	};
	BMessage progress(kMsgJobProgress);
	progress.AddInt32("linetype", kLineProgress);
	progress.AddInt32("count", 1);
	progress.AddInt32("maxcount", 2);
	for (bool verbose : {false, true}) {
		JobEventQueue events;
		Capture output;
		JobFollower follower(events, output.File(), false);
		follower.SetVerbose(verbose);
		follower.SetPlainProgressInterval(0);
		for (const Case& line : cases)
			events.Push(ReportLine(line.lineType, kTextSingle, {line.text}));
		events.Push(progress);
		events.Push(Finished(0));
		EXPECT_EQ(follower.Follow(kJob), kExitEndedWithErrors);
		std::string text = output.Text();
		for (const Case& line : cases) {
			bool shown = text.find(std::string(line.text) + "\n") != std::string::npos;
			EXPECT_EQ(shown, verbose || line.byDefault) << line.text << " in\n" << text;
		}
		EXPECT_NE(text.find("1/2 files"), std::string::npos) << text;
		EXPECT_EQ(text.find('\r'), std::string::npos) << text;
	}
}

// A damaged or unknown line renders as a marker; a progress line shows only on a terminal.
TEST_F(JobFollowerTest, DamagedLinesAndProgress)
{
	BMessage damaged(kMsgJobProgress);
	damaged.AddInt32("linetype", kLineInfo);
	damaged.AddInt32("text_id", kTextStartingBackup);
	damaged.AddData("reportline", MVReportLine::kTypeCode, "\xff\xff\xff\xff", 4, false);
	EXPECT_EQ(ReportText::Line(damaged), "[unreadable report line, text 24]");
	EXPECT_EQ(ReportText::Line(ReportLine(kLineInfo, 99999, {})), "[unknown text 99999]");
	EXPECT_EQ(ReportText::Line(ReportLine(kLineInfo, kTextStartingBackup, {})), "Starting backup '':");

	BMessage progress(kMsgJobProgress);
	progress.AddInt32("linetype", kLineProgress);
	progress.AddInt32("count", 3);
	progress.AddInt32("maxcount", 10);
	progress.AddInt64("size", 1572864);
	progress.AddInt64("maxsize", 3145728);
	progress.AddFloat("speed", 524288.0f);
	progress.AddInt32("remain", 3);
	EXPECT_EQ(ReportText::Progress(progress), "3/10 files  1.5 MB of 3.0 MB  512.0 KB/s  0:00:03 left");
	progress.ReplaceFloat("speed", 0.0f);
	EXPECT_EQ(ReportText::Progress(progress), "3/10 files  1.5 MB of 3.0 MB  0 bytes/s");

	JobFollower follower(fEvents, fOutput.File(), true);
	EXPECT_FALSE(follower.Handle(progress));
	EXPECT_FALSE(follower.Handle(ReportLine(kLineInfo, kTextScanning, {})));
	EXPECT_TRUE(follower.Handle(Finished(0)));
	EXPECT_EQ(fOutput.Text(), "\r\033[K3/10 files  1.5 MB of 3.0 MB  0 bytes/s\r\033[K"
		"Scanning source device(s)...\nJob 0 ended successfully.\n");
}

// A question is answered by the media command's exit status, or aborts the job when nobody can answer.
TEST_F(JobFollowerTest, QuestionsAreAnswered)
{
	TestFolder folder;
	std::string marker = folder / "asked";
	struct Case {
		std::string command;
		int32 which;
	};
	for (const Case& answer : {Case{"touch '" + marker + "'", 0}, Case{"exit 3", 1},
			Case{"", 1}}) {
		JobEventQueue events;
		Capture output;
		JobFollower follower(events, output.File(), false);
		follower.SetMediaCommand(answer.command);
		std::vector<BMessage> sent;
		follower.SetSender([&sent](const BMessage& message) { sent.push_back(message); });
		events.Push(BMessage(kMsgJobStart));
		events.Push(Question());
		events.Push(Finished(answer.which == 0 ? 0 : 1));
		follower.Follow(kJob);
		ASSERT_EQ(sent.size(), 1u) << answer.command;
		EXPECT_EQ(sent[0].what, uint32('jbrs'));
		EXPECT_EQ(sent[0].GetInt32("job_id", 0), kJob);
		EXPECT_EQ(sent[0].GetInt32("which", -1), answer.which) << answer.command;
		EXPECT_NE(output.Text().find("Change Media: Media #1"), std::string::npos);
	}
	EXPECT_TRUE(ReadWholeFile(marker).has_value());
}

// A job removed before it ran ends the following as aborted; one whose end message is lost does not hang.
TEST_F(JobFollowerTest, RemovedJobsEndTheFollowing)
{
	BMessage removed(kMsgJobRemoved);
	removed.AddInt32("job_id", kJob);
	{
		JobFollower follower(fEvents, fOutput.File(), false);
		fEvents.Push(removed);
		EXPECT_EQ(follower.Follow(kJob), kExitAborted);
		EXPECT_NE(fOutput.Text().find("removed from the queue before it ran"), std::string::npos);
	}
	JobEventQueue events;
	Capture output;
	JobFollower follower(events, output.File(), false);
	follower.SetProbe([] { return JobFollower::JobPresence::Gone; });
	events.Push(BMessage(kMsgJobStart));
	EXPECT_EQ(follower.Follow(kJob), kExitFailure);
	EXPECT_NE(output.Text().find("its result did not arrive"), std::string::npos);

	// A server that has ended sends no end: the following stops at the probe.
	JobEventQueue orphaned;
	Capture orphanedOutput;
	JobFollower orphan(orphaned, orphanedOutput.File(), false);
	orphan.SetProbe([] { return JobFollower::JobPresence::ServerGone; });
	EXPECT_EQ(orphan.Follow(kJob), kExitNoServer);
	EXPECT_NE(orphanedOutput.Text().find("The server has ended"), std::string::npos);
}
