// A backup that fills a removable medium goes on on a second one, and its
// restore asks for both; every question answered by --on-media-change.

#include "MorvaneFixture.h"

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

class MediaChangeTest : public MorvaneFixture {
protected:
	static size_t Count(const std::string& text, const std::string& what)
	{
		size_t count = 0;
		for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
			count++;
		return count;
	}
};

}	// namespace

// The backup fills medium 1 of a 400000-byte drive and goes on on a blank
// medium 2; the restore asks for medium 1, then 2, and the data comes back.
TEST_F(MediaChangeTest, TwoMediaBackupAndRestore)
{
	AddMediaVolume(400000);
	std::string spans;
	CommandResult backup = BackUpOverTwoMedia("m", &spans);
	ASSERT_EQ(backup.exitCode, 0) << backup.output;
	EXPECT_EQ(Count(backup.output, "Change Media"), 1u) << backup.output;
	EXPECT_NE(backup.output.find("Backup successful"), std::string::npos);
	std::vector<std::string> ids = BackupIds();
	ASSERT_EQ(ids.size(), 1u);
	std::string firstImage = fMedia / ("media.medium-1/backups/" + ids[0]);
	std::string secondImage = MediaFolder() + "/backups/" + ids[0];
	ASSERT_TRUE(fs::exists(firstImage));
	ASSERT_TRUE(fs::exists(secondImage));
	EXPECT_LE(fs::file_size(firstImage), 400000u);
	EXPECT_GT(fs::file_size(firstImage) + fs::file_size(secondImage), spans.size());
	CommandResult listed = Run({"ls", "--json", ids[0], "/Source/m/tail"});
	EXPECT_NE(listed.output.find("\"media\":2"), std::string::npos) << listed.output;

	// Label the media so that the restore's command can find the one asked
	// for; medium 2 is in the drive, so medium 1 is asked for first.
	fMedia.WriteFile("media.medium-1/label-1", "");
	fMedia.WriteFile("media/label-2", "");
	CommandResult restore = Run({"restore", ids[0], "/Source/m", "--to", Source("back"),
		"--on-media-change", InsertNextLabelledMedium()});
	ASSERT_EQ(restore.exitCode, 0) << restore.output;
	const std::string question = "Change Media: Please insert media '/Media/backups' no. #";
	size_t first = restore.output.find(question + "1!");
	size_t second = restore.output.find(question + "2!");
	EXPECT_NE(first, std::string::npos) << restore.output;
	EXPECT_NE(second, std::string::npos) << restore.output;
	EXPECT_LT(first, second) << restore.output;
	EXPECT_EQ(Count(restore.output, "Change Media"), 2u);
	EXPECT_TRUE(ReadWholeFile(Source("back/m/spans")) == spans);
	EXPECT_EQ(ReadWholeFile(Source("back/m/tail")).value_or(""), "after the change");
}

// Many small files onto media that count in 4 KiB blocks, as real file
// systems do: each full medium ends properly and the backup asks for the
// next one instead of failing, and the restore gives every file back.
TEST_F(MediaChangeTest, SmallFilesOnMediaThatCountInBlocks)
{
	AddMediaVolume(2 * 1024 * 1024, 4096);
	std::map<std::string, std::string> files;
	uint32 seed = 12345;
	for (int32 i = 0; i < 1000; i++) {
		seed = seed * 1103515245u + 12345u;
		size_t size = 100 + (seed >> 8) % 4901;
		std::string name = "small/d" + std::to_string(i % 10) + "/f" + std::to_string(i);
		files[name] = std::string(size, char('a' + i % 26));
		fSource.WriteFile(name, files[name]);
	}

	CommandResult backup = Run({"backup", "--to", MediaFolder() + "/backups",
		"--on-media-change", "mkdir '" + MediaFolder() + "'", Source("small")});
	ASSERT_EQ(backup.exitCode, 0) << backup.output;
	size_t changes = Count(backup.output, "Change Media");
	EXPECT_GE(changes, 1u) << backup.output;
	std::vector<std::string> ids = BackupIds();
	ASSERT_EQ(ids.size(), 1u);

	// Label the media in their order: the ejected ones, then the drive's.
	for (size_t medium = 1; medium <= changes; medium++) {
		fMedia.WriteFile("media.medium-" + std::to_string(medium) + "/label-"
			+ std::to_string(medium), "");
	}
	fMedia.WriteFile("media/label-" + std::to_string(changes + 1), "");
	CommandResult restore = Run({"restore", ids[0], "/Source/small", "--to", Source("back"),
		"--on-media-change", InsertNextLabelledMedium()});
	ASSERT_EQ(restore.exitCode, 0) << restore.output;
	for (const auto& [name, content] : files)
		ASSERT_EQ(ReadWholeFile(Source("back/" + name)).value_or("missing"), content) << name;
}
