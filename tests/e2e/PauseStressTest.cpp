// Pause and continue sent close together, from another process, all through
// a backup and a restore: every byte must come back, and both jobs must end
// successfully.

#include "MorvaneFixture.h"

#include <filesystem>
#include <map>

#include <app/Message.h>
#include <app/Messenger.h>
#include <kernel/OS.h>

#include "ServerProtocol.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 30;
constexpr int kFilesPerFolder = 100;
// Pairs per job, as a user's script might send them; the server takes each
// with a save of the job list, so they reach the worker spread over the job.
constexpr int kMaxPairs = 150;
constexpr bigtime_t kPairSpacing = 500;

class PauseStressTest : public MorvaneFixture {
protected:
	void MakeTree()
	{
		for (int folder = 0; folder < kFolders; folder++) {
			for (int file = 0; file < kFilesPerFolder; file++) {
				int seed = folder * kFilesPerFolder + file;
				std::string content;
				for (int i = 0; i < (seed * 37) % 3000; i++)
					content += char('a' + (seed + i * 7) % 26);
				fSource.WriteFile("data/d" + std::to_string(folder) + "/f"
					+ std::to_string(file), content);
			}
		}
	}

	// Sends pause and continue pairs to the job, continue last, until the
	// command that follows it has ended; the number of pairs sent.
	static int Hammer(const std::string& jobId, ChildProcess& follower)
	{
		BMessenger server(kServerSignature);
		int32 id = std::stoi(jobId);
		int pairs = 0;
		while (!follower.HasEnded() && pairs < kMaxPairs) {
			for (uint32 what : {kMsgJobPause, kMsgJobContinue}) {
				BMessage control(what);
				control.AddInt32("job_id", id);
				EXPECT_EQ(server.SendMessage(&control), B_OK);
			}
			pairs++;
			(void)snooze(kPairSpacing);
		}
		return pairs;
	}

	// Runs the command, hammers its job and returns what it printed.
	CommandResult RunHammered(const std::vector<std::string>& arguments, int* pairs)
	{
		std::unique_ptr<ChildProcess> command = Start(arguments);
		std::string line;
		if (command == nullptr || !command->ReadLine(&line, kPatience))
			return {};
		std::string jobId = SubmittedJobId(line + "\n");
		EXPECT_FALSE(jobId.empty()) << line;
		// A pause that reaches the job before its worker runs holds it.
		std::string running;
		EXPECT_TRUE(command->ReadLine(&running, kPatience));
		EXPECT_EQ(running, "Job " + jobId + " is running.");
		*pairs = jobId.empty() ? 0 : Hammer(jobId, *command);
		CommandResult result = Finish(*command);
		result.output = line + "\n" + running + "\n" + result.output;
		return result;
	}

	static std::map<std::string, std::string> Contents(const std::string& root)
	{
		std::map<std::string, std::string> contents;
		for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
			if (entry.is_regular_file()) {
				contents[fs::relative(entry.path(), root).string()]
					= ReadWholeFile(entry.path().string()).value_or("<unreadable>");
			}
		}
		return contents;
	}
};

}	// namespace

TEST_F(PauseStressTest, EveryByteComesBack)
{
	MakeTree();
	int pairs = 0;
	CommandResult backup = RunHammered({"backup", "--to", Source("images"), Source("data")},
		&pairs);
	ASSERT_EQ(backup.exitCode, 0) << backup.output;
	EXPECT_NE(backup.output.find("Status:\t\t\t\tBackup successful"), std::string::npos)
		<< backup.output;
	EXPECT_GT(pairs, 10) << "the backup ended before it could be hammered";
	EXPECT_NE(backup.output.find("is paused."), std::string::npos) << backup.output;

	std::vector<std::string> ids = BackupIds();
	ASSERT_EQ(ids.size(), 1u);
	CommandResult restore = RunHammered({"restore", ids[0], "/Source/data", "--to",
		Source("back")}, &pairs);
	ASSERT_EQ(restore.exitCode, 0) << restore.output;
	EXPECT_NE(restore.output.find("Restore successful"), std::string::npos) << restore.output;
	EXPECT_GT(pairs, 10) << "the restore ended before it could be hammered";
	EXPECT_NE(restore.output.find("is paused."), std::string::npos) << restore.output;

	std::map<std::string, std::string> original = Contents(Source("data"));
	std::map<std::string, std::string> restored = Contents(Source("back/data"));
	ASSERT_EQ(original.size(), size_t(kFolders * kFilesPerFolder));
	EXPECT_EQ(restored.size(), original.size());
	for (const auto& [path, content] : original) {
		auto found = restored.find(path);
		ASSERT_NE(found, restored.end()) << path;
		EXPECT_TRUE(found->second == content) << path << ": " << found->second.size()
			<< " bytes back of " << content.size();
	}
}
