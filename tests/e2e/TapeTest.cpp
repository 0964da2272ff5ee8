// Backups on the virtual tape drive through the real server and `morvane`.

#include "MorvaneFixture.h"

#include "AwaitCondition.h"

#include <unistd.h>

#include <filesystem>

namespace {

class TapeTest : public MorvaneFixture {
protected:
	// A random-looking file of size bytes (so that nothing compresses it).
	void WriteData(const std::string& name, size_t size, uint32 seed)
	{
		std::string data(size, '\0');
		for (size_t i = 0; i < size; i++) {
			seed = seed * 1103515245u + 12345u;
			data[i] = char(seed >> 16);
		}
		fSource.WriteFile(name, data);
	}

	// Backs up Source(name) onto the drive's tape under the title name.
	void BackUpToTape(const std::string& name)
	{
		CommandResult backup = Run({"backup", "--tape", kTapeDrive, "--title", name,
			Source(name)});
		ASSERT_EQ(backup.exitCode, 0) << backup.output;
	}

	std::string BackupIdTitled(const std::string& title)
	{
		std::string json = Run({"backups", "--json"}).output;
		size_t at = json.find("\"title\":\"" + title + "\"");
		size_t id = json.rfind("\"id\":\"", at);
		if (at == std::string::npos || id == std::string::npos)
			return std::string();
		return json.substr(id + 6, json.find('"', id + 6) - id - 6);
	}

	bool SameTrees(const std::string& a, const std::string& b)
	{
		namespace fs = std::filesystem;
		for (const fs::directory_entry& entry : fs::recursive_directory_iterator(a)) {
			std::string other = b + "/" + fs::relative(entry.path(), a).string();
			if (entry.is_regular_file()
				&& ReadWholeFile(entry.path().string()) != ReadWholeFile(other))
				return false;
			if (!fs::exists(other))
				return false;
		}
		return true;
	}
};

}	// namespace

// Two backups go one after the other onto one tape and come back byte for
// byte; a write-protected tape takes none.
TEST_F(TapeTest, TwoBackupsOnOneTape)
{
	ASSERT_EQ(RunVtape({"new", "one", "--size", "64M"}).exitCode, 0);
	ASSERT_EQ(RunVtape({"load", "one"}).exitCode, 0);
	WriteData("first/data", 300000, 1);
	WriteData("second/data", 200000, 2);
	for (const char* name : {"first", "second"})
		BackUpToTape(name);
	for (const char* name : {"first", "second"}) {
		std::string id = BackupIdTitled(name);
		ASSERT_FALSE(id.empty());
		CommandResult restore = Run({"restore", id, "--to", Source(std::string("back-") + name)});
		ASSERT_EQ(restore.exitCode, 0) << restore.output;
		EXPECT_TRUE(SameTrees(Source(name), Source(std::string("back-") + name + "/" + name)));
	}

	ASSERT_EQ(RunVtape({"protect", "one"}).exitCode, 0);
	CommandResult refused = Run({"backup", "--tape", kTapeDrive, Source("first")});
	EXPECT_NE(refused.exitCode, 0) << refused.output;
	EXPECT_NE(refused.output.find("ERROR"), std::string::npos) << refused.output;
}

// In overwrite mode the tape starts afresh: the backups it held are deleted
// from the catalogue, the new one is the tape's only backup and restores.
TEST_F(TapeTest, OverwriteModeStartsTheTapeAfresh)
{
	ASSERT_EQ(RunVtape({"new", "reused", "--size", "64M"}).exitCode, 0);
	ASSERT_EQ(RunVtape({"load", "reused"}).exitCode, 0);
	WriteData("first/data", 300000, 3);
	WriteData("third/data", 100000, 4);
	BackUpToTape("first");
	std::string first = BackupIdTitled("first");
	ASSERT_FALSE(first.empty());

	CommandResult overwrite = Run({"backup", "--tape", kTapeDrive, "--overwrite", "--title",
		"third", Source("third")});
	ASSERT_EQ(overwrite.exitCode, 0) << overwrite.output;
	EXPECT_NE(overwrite.output.find("Deleting Backup 'first'"), std::string::npos)
		<< overwrite.output;
	EXPECT_TRUE(AwaitCondition([&] { return BackupIdTitled("first").empty(); }, kPatience));
	std::string third = BackupIdTitled("third");
	ASSERT_FALSE(third.empty());
	CommandResult restore = Run({"restore", third, "--to", Source("back-third")});
	ASSERT_EQ(restore.exitCode, 0) << restore.output;
	EXPECT_TRUE(SameTrees(Source("third"), Source("back-third/third")));
	// The tape holds only the new backup: fewer bytes than the old one's
	// 300,000 of data alone.
	std::string listing = RunVtape({"list"}).output;
	size_t at = listing.find("tape reused: ");
	ASSERT_NE(at, std::string::npos) << listing;
	EXPECT_LT(std::stoull(listing.substr(at + 13)), 300000u) << listing;
}

// A backup larger than a tape goes on to the next tape at early warning,
// and its restore asks for the tapes in turn.
TEST_F(TapeTest, BackupSpansTwoTapes)
{
	for (const char* tape : {"a", "b"})
		ASSERT_EQ(RunVtape({"new", tape, "--size", "3M", "--early-warning", "512K"}).exitCode, 0);
	ASSERT_EQ(RunVtape({"load", "a"}).exitCode, 0);
	WriteData("big/data", 3000000, 3);
	// Entries after the large file end the backup on the second tape, where
	// reading runs into the tape's filemark.
	fSource.WriteFile("big/zz-small", "small");
	ASSERT_EQ(symlink("data", Source("big/zz-link").c_str()), 0);
	CommandResult backup = Run({"backup", "--tape", kTapeDrive, "--title", "big",
		"--on-media-change", VtapeCommand("load b"), Source("big")});
	ASSERT_EQ(backup.exitCode, 0) << backup.output;
	EXPECT_NE(backup.output.find("Backup data to media no. #2"), std::string::npos)
		<< backup.output;

	ASSERT_EQ(RunVtape({"load", "a"}).exitCode, 0);
	CommandResult restore = Run({"restore", BackupIdTitled("big"), "--to", Source("back"),
		"--on-media-change", VtapeCommand("load b")});
	ASSERT_EQ(restore.exitCode, 0) << restore.output;
	EXPECT_NE(restore.output.find("no. #2 loaded"), std::string::npos) << restore.output;
	// The second tape is asked for by its media ID.
	EXPECT_NE(restore.output.find(".media' no. #2!"), std::string::npos) << restore.output;
	EXPECT_TRUE(SameTrees(Source("big"), Source("back/big")));
	EXPECT_EQ(std::filesystem::read_symlink(Source("back/big/zz-link")).string(), "data");
}

// The drives are listed as the menu lists them, and the tape commands work
// the drive: status, eject, erase (refused on a write-protected tape).
TEST_F(TapeTest, DrivesAndTapeCommands)
{
	ASSERT_EQ(RunVtape({"new", "c", "--size", "8M"}).exitCode, 0);
	ASSERT_EQ(RunVtape({"load", "c"}).exitCode, 0);
	CommandResult drives = Run({"drives"});
	EXPECT_EQ(drives.exitCode, 0);
	EXPECT_NE(drives.output.find(std::string(kTapeDrive) + " "), std::string::npos)
		<< drives.output;
	EXPECT_NE(drives.output.find("MORVANE VIRTUAL TAPE (9/0/0)"), std::string::npos);
	EXPECT_NE(Run({"drives", "--json"}).output.find("\"device\":\"" + std::string(kTapeDrive)),
		std::string::npos);

	struct Step {
		std::vector<std::string> arguments;
		int exitCode;
		const char* output;
	};
	const Step steps[] = {
		{{"tape", "status", kTapeDrive}, 0, "a tape is in the drive; at block 0"},
		{{"tape", "erase", kTapeDrive}, 0, "Done: erase"},
		{{"tape", "eject", kTapeDrive}, 0, "Done: eject"},
		{{"tape", "status", kTapeDrive}, 0, "no tape in the drive"},
		{{"tape", "rewind", kTapeDrive}, 3, ""},
		{{"tape", "fold", kTapeDrive}, 64, ""},
		{{"tape", "status", "/dev/sda"}, 64, ""},
	};
	for (const Step& step : steps) {
		CommandResult result = Run(step.arguments);
		EXPECT_EQ(result.exitCode, step.exitCode) << ::testing::PrintToString(step.arguments);
		EXPECT_NE(result.output.find(step.output), std::string::npos) << result.output;
	}
	ASSERT_EQ(RunVtape({"load", "c"}).exitCode, 0);
	ASSERT_EQ(RunVtape({"protect", "c"}).exitCode, 0);
	EXPECT_NE(Run({"tape", "status", kTapeDrive}).output.find("write-protected"),
		std::string::npos);
	EXPECT_EQ(Run({"tape", "erase", "--complete", kTapeDrive}).exitCode, 3);
}

// A tape whose backups left the catalogue and whose media base file is gone
// is scanned from the tape itself, and its backups are inserted and
// restored.
TEST_F(TapeTest, InsertFromATapeWithoutItsMediaBase)
{
	ASSERT_EQ(RunVtape({"new", "lost", "--size", "64M"}).exitCode, 0);
	ASSERT_EQ(RunVtape({"load", "lost"}).exitCode, 0);
	WriteData("one/data", 100000, 4);
	WriteData("two/data", 150000, 5);
	for (const char* name : {"one", "two"})
		BackUpToTape(name);
	for (const std::string& id : BackupIds())
		ASSERT_EQ(Run({"delete", id}).exitCode, 0);
	std::string streamerData = fTree.ServerFolder() + "/add-ons/destination/streamer_data";
	for (const auto& entry : std::filesystem::directory_iterator(streamerData))
		std::filesystem::remove(entry.path());

	CommandResult scan = Run({"scan", "--tape", kTapeDrive});
	EXPECT_NE(scan.output.find(" no         one"), std::string::npos) << scan.output;
	EXPECT_NE(scan.output.find(" no         two"), std::string::npos) << scan.output;
	CommandResult insert = Run({"insert", "--tape", kTapeDrive});
	ASSERT_EQ(insert.exitCode, 0) << insert.output;
	EXPECT_EQ(BackupIds().size(), 2u);
	CommandResult restore = Run({"restore", BackupIdTitled("two"), "--to", Source("back")});
	ASSERT_EQ(restore.exitCode, 0) << restore.output;
	EXPECT_TRUE(SameTrees(Source("two"), Source("back/two")));
}

// A medium error in the middle of a backup ends that backup with a report
// line; the backup before it on the tape stays readable.
TEST_F(TapeTest, MediumErrorEndsTheBackupAndSparesTheEarlierOnes)
{
	ASSERT_EQ(RunVtape({"new", "worn", "--size", "64M", "--bad-at", "2M"}).exitCode, 0);
	ASSERT_EQ(RunVtape({"load", "worn"}).exitCode, 0);
	WriteData("early/data", 500000, 6);
	WriteData("late/data", 3000000, 7);
	BackUpToTape("early");
	CommandResult late = Run({"backup", "--tape", kTapeDrive, "--title", "late",
		Source("late")});
	EXPECT_EQ(late.exitCode, 1) << late.output;
	EXPECT_NE(late.output.find("ERROR"), std::string::npos) << late.output;
	EXPECT_TRUE(BackupIdTitled("late").empty());

	CommandResult restore = Run({"restore", BackupIdTitled("early"), "--to", Source("back")});
	ASSERT_EQ(restore.exitCode, 0) << restore.output;
	EXPECT_TRUE(SameTrees(Source("early"), Source("back/early")));
}
