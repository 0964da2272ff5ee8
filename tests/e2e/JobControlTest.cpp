// Pausing, continuing and aborting a running backup from the command line.

#include "MorvaneFixture.h"

#include "AwaitCondition.h"
#include "ServerProtocol.h"

#include <csignal>
#include <filesystem>

#include <app/Messenger.h>

namespace fs = std::filesystem;

namespace {

// Large enough that a pause sent from another process lands inside it.
constexpr size_t kBigSize = 48 * 1024 * 1024;
constexpr bigtime_t kStartPatience = 10000000;
constexpr bigtime_t kHeldUp = 30000000;

class JobControlTest : public MorvaneFixture {
protected:
	void MakeBigFile()
	{
		fBig.reserve(kBigSize + 16);
		for (uint32 i = 0; fBig.size() < kBigSize; i++)
			fBig += std::to_string(i * 2654435761u) + ",";
		fSource.WriteFile("data/big", fBig);
		fSource.WriteFile("data/small", "small");
	}

	// The size of the one image in the images folder, -1 while there is none.
	int64 ImageSize()
	{
		std::error_code error;
		for (const fs::directory_entry& entry : fs::directory_iterator(Source("images"), error)) {
			int64 size = int64(entry.file_size(error));
			return error ? -1 : size;
		}
		return -1;
	}

	// Submits the backup on hold, follows it with `morvane wait` and only
	// then starts it, so that the follower sees the whole job.
	std::string SubmitAndWait(std::unique_ptr<ChildProcess>* waiter)
	{
		CommandResult submitted = Run({"backup", "--hold", "--compress", "lzrw1", "--to",
			Source("images"), Source("data")});
		EXPECT_EQ(submitted.exitCode, 0) << submitted.output;
		std::string jobId = SubmittedJobId(submitted.output);
		*waiter = Start({"wait", jobId});
		std::string line;
		if (*waiter == nullptr || !(*waiter)->ReadLine(&line, kPatience))
			return "";
		EXPECT_EQ(line, "Job " + jobId + " waits for its start.");
		// Released from hold the job waits for its time; start runs it now.
		CommandResult release = Run({"continue", jobId});
		EXPECT_EQ(release.exitCode, 0) << release.output;
		CommandResult start = Run({"start", jobId});
		EXPECT_EQ(start.exitCode, 0) << start.output;
		return jobId;
	}

	std::string LatestReportText()
	{
		std::string json = Run({"reports", "--json"}).output;
		size_t at = json.rfind("{\"id\":");
		if (at == std::string::npos)
			return "";
		std::string id = json.substr(at + 6, json.find(',', at) - at - 6);
		return Run({"report", id}).output;
	}

	std::string fBig;
};

}	// namespace

// A paused backup stops writing in the middle of its large file; continued,
// it finishes, `wait` ends with 0 and the data restores unchanged.
TEST_F(JobControlTest, PauseAndContinueDuringALargeFile)
{
	MakeBigFile();
	std::unique_ptr<ChildProcess> waiter;
	std::string jobId = SubmitAndWait(&waiter);
	ASSERT_FALSE(jobId.empty());
	ASSERT_NE(waiter, nullptr);
	ASSERT_TRUE(AwaitCondition([this] { return ImageSize() > 0; }, kStartPatience, 1000));

	CommandResult pause = Run({"pause", jobId});
	ASSERT_EQ(pause.exitCode, 0) << pause.output;
	ASSERT_TRUE(AwaitCondition([&] { return JobState(jobId) == "paused"; }, kPatience));
	// A step under way when the pause came may still finish its write.
	int64 paused = -1;
	ASSERT_TRUE(AwaitCondition([&] {
		int64 before = ImageSize();
		(void)snooze(100000);
		paused = ImageSize();
		return paused == before;
	}, kPatience, 0));
	EXPECT_LT(paused, int64(kBigSize)) << "the backup was not paused inside its large file";
	EXPECT_FALSE(AwaitCondition([&] { return ImageSize() != paused; }, 500000))
		<< "the image grew while the job was paused";

	CommandResult resume = Run({"continue", jobId});
	ASSERT_EQ(resume.exitCode, 0) << resume.output;
	CommandResult waited = Finish(*waiter);
	EXPECT_EQ(waited.exitCode, 0) << waited.output;
	EXPECT_NE(waited.output.find("Backup successful"), std::string::npos) << waited.output;
	EXPECT_GT(ImageSize(), paused);

	std::vector<std::string> ids = BackupIds();
	ASSERT_EQ(ids.size(), 1u);
	CommandResult restore = Run({"restore", ids[0], "/Source/data", "--to", Source("back")});
	ASSERT_EQ(restore.exitCode, 0) << restore.output;
	EXPECT_TRUE(ReadWholeFile(Source("back/data/big")) == fBig);
	EXPECT_EQ(ReadWholeFile(Source("back/data/small")).value_or(""), "small");
}

// An aborted backup ends `wait` with 1, its report ends with the abort
// status, and it leaves no catalogue entry.
TEST_F(JobControlTest, AbortWhileRunning)
{
	MakeBigFile();
	std::unique_ptr<ChildProcess> waiter;
	std::string jobId = SubmitAndWait(&waiter);
	ASSERT_FALSE(jobId.empty());
	ASSERT_NE(waiter, nullptr);
	ASSERT_TRUE(AwaitCondition([this] { return ImageSize() > 0; }, kStartPatience, 1000));

	CommandResult abort = Run({"abort", jobId});
	ASSERT_EQ(abort.exitCode, 0) << abort.output;
	CommandResult waited = Finish(*waiter);
	EXPECT_EQ(waited.exitCode, 1) << waited.output;
	EXPECT_NE(waited.output.find("Backup aborted"), std::string::npos) << waited.output;
	EXPECT_LT(ImageSize(), int64(kBigSize)) << "the backup ended before the abort";

	EXPECT_NE(LatestReportText().find("Status:\t\t\t\tBackup aborted!!!"), std::string::npos);
	EXPECT_TRUE(BackupIds().empty());
	EXPECT_TRUE(!fs::exists(LogDataFolder()) || fs::is_empty(LogDataFolder()));
	EXPECT_EQ(JobState(jobId), "");
}

// A job does not die with the client that released it: with no client left,
// the server starts it at its next pulse, runs it to its end, lists its
// backup, and only then quits by itself.
TEST_F(JobControlTest, JobsOutliveTheirClient)
{
	fSource.WriteFile("alone/file", "saved with no client watching");
	CommandResult held = Run({"backup", "--hold", "--to", Source("images"), Source("alone")});
	ASSERT_EQ(held.exitCode, 0) << held.output;
	std::string jobId = SubmittedJobId(held.output);
	CommandResult release = Run({"continue", jobId});
	ASSERT_EQ(release.exitCode, 0) << release.output;

	// Two pulses at most: one starts the job, one after its end quits.
	constexpr bigtime_t kPulses = 3 * 5000000;
	ASSERT_TRUE(AwaitCondition([&] {
		std::error_code error;
		return !fs::is_empty(LogDataFolder(), error) && !error;
	}, kPulses, 50000)) << fTree.ReadLog();
	EXPECT_TRUE(AwaitCondition([] { return !BMessenger(kServerSignature).IsValid(); },
		kPulses, 50000)) << fTree.ReadLog();
	std::string log = fTree.ReadLog();
	EXPECT_NE(log.find("stays up for the jobs that wait for their time"), std::string::npos)
		<< log;
	EXPECT_EQ(BackupIds().size(), 1u);
}

// A follower that is stopped (Ctrl-Z) while its job runs holds nothing up:
// the job runs to its end for the other follower. The job's lines fill the
// stopped follower's socket many times over; waiting for it would take
// minutes.
TEST_F(JobControlTest, AStoppedFollowerHoldsNothingUp)
{
	for (int folder = 0; folder < 25; folder++) {
		for (int file = 0; file < 200; file++) {
			fSource.WriteFile("many/d" + std::to_string(folder) + "/f" + std::to_string(file),
				std::to_string(file));
		}
	}
	CommandResult held = Run({"backup", "--hold", "--to", Source("images"), Source("many")});
	ASSERT_EQ(held.exitCode, 0) << held.output;
	std::string jobId = SubmittedJobId(held.output);
	std::unique_ptr<ChildProcess> stopped = Start({"wait", jobId});
	std::string line;
	ASSERT_TRUE(stopped != nullptr && stopped->ReadLine(&line, kPatience));
	ASSERT_EQ(Run({"continue", jobId}).exitCode, 0);
	std::unique_ptr<ChildProcess> follower = Start({"wait", jobId});
	ASSERT_TRUE(follower != nullptr && follower->ReadLine(&line, kPatience));
	ASSERT_EQ(Run({"start", jobId}).exitCode, 0);
	ASSERT_TRUE(stopped->ReadLine(&line, kPatience));
	EXPECT_EQ(line, "Job " + jobId + " is running.");
	stopped->Signal(SIGSTOP);

	// The job takes a second or two; one that waits for the stopped
	// follower takes minutes.
	EXPECT_TRUE(follower->AwaitExit(kHeldUp)) << "the job waited for the stopped follower";
	CommandResult followed = Finish(*follower);
	EXPECT_EQ(followed.exitCode, 0) << followed.output;
	EXPECT_NE(followed.output.find("Status:\t\t\t\tBackup successful"), std::string::npos)
		<< followed.output;
	stopped->Signal(SIGCONT);
}

// A follower whose server dies notices within seconds and says so with the
// exit status of an unreachable server.
TEST_F(JobControlTest, AFollowerNoticesTheServerDying)
{
	fSource.WriteFile("alone/file", "data");
	CommandResult held = Run({"backup", "--hold", "--to", Source("images"), Source("alone")});
	ASSERT_EQ(held.exitCode, 0) << held.output;
	std::string jobId = SubmittedJobId(held.output);
	std::unique_ptr<ChildProcess> follower = Start({"wait", jobId});
	std::string line;
	ASSERT_TRUE(follower != nullptr && follower->ReadLine(&line, kPatience));
	team_id server = BMessenger(kServerSignature).Team();
	ASSERT_GT(server, 0);
	ASSERT_EQ(kill(server, SIGKILL), 0);

	constexpr bigtime_t kNoticed = 10000000;
	ASSERT_TRUE(follower->AwaitExit(kNoticed)) << "the follower kept waiting";
	CommandResult followed = Finish(*follower);
	EXPECT_EQ(followed.exitCode, 69) << followed.output;
	EXPECT_NE(followed.output.find("The server has ended"), std::string::npos) << followed.output;
}
