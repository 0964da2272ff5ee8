// Insert jobs through `morvane` and a real server: backups taken out of the
// catalogue are found again by scan, read back by their catalogue record or,
// when it is damaged, record by record, and restore and compare as before;
// a backup cut inside a block is refused; a backup over two media asks for
// them in order.

#include "MorvaneFixture.h"

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// Every entry below root: a file's content, a link's target, "folder".
std::map<std::string, std::string> Contents(const std::string& root)
{
	std::map<std::string, std::string> contents;
	for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
		std::string name = fs::relative(entry.path(), root).string();
		if (entry.is_symlink())
			contents[name] = "-> " + fs::read_symlink(entry.path()).string();
		else if (entry.is_directory())
			contents[name] = "folder";
		else
			contents[name] = ReadWholeFile(entry.path()).value_or("<unreadable>");
	}
	return contents;
}

class InsertCommandTest : public MorvaneFixture {
protected:
	void MakeTree()
	{
		std::string big;
		for (uint32 i = 0; big.size() < 300000; i++)
			big += std::to_string(i * 2654435761u) + "\n";
		fSource.WriteFile("tree/big", big);
		fSource.WriteFile("tree/docs/note", "a note");
		fSource.WriteFile("tree/docs/empty", "");
		fs::create_symlink("docs/note", Source("tree/link"));
	}

	std::string BackUp(const std::string& destination)
	{
		CommandResult backup = Run({"backup", "--to", destination, Source("tree")});
		EXPECT_EQ(backup.exitCode, 0) << backup.output;
		std::vector<std::string> ids = BackupIds();
		return ids.empty() ? std::string() : ids.back();
	}

	// Takes the backup out of the catalogue only.
	void Forget(const std::string& id)
	{
		ASSERT_EQ(Run({"delete", id}).exitCode, 0);
		ASSERT_TRUE(BackupIds().empty());
	}

	// comparePath is what the compare covers: the last item a compare
	// takes must still find its backup after a media change.
	void ExpectRestoresAndCompares(const std::string& id, const std::string& target,
		const std::vector<std::string>& mediaOptions = {},
		const std::string& comparePath = "/Source/tree")
	{
		std::vector<std::string> restore = {"restore", id, "/Source/tree", "--to",
			Source(target)};
		restore.insert(restore.end(), mediaOptions.begin(), mediaOptions.end());
		CommandResult restored = Run(restore);
		ASSERT_EQ(restored.exitCode, 0) << restored.output;
		EXPECT_EQ(Contents(Source(target + "/tree")), Contents(Source("tree")));
		// The volume's root folder changed since; the tree has not. Media
		// are asked for from the first again.
		fs::remove(fMedia / "asked");
		std::vector<std::string> compare = {"compare", id, comparePath};
		compare.insert(compare.end(), mediaOptions.begin(), mediaOptions.end());
		CommandResult compared = Run(compare);
		EXPECT_EQ(compared.exitCode, 0) << compared.output;
	}
};

}	// namespace

// The quick way takes the catalogue record; with its end cut off, the scan
// rebuilds the catalogue. Both restore byte for byte and compare equal.
TEST_F(InsertCommandTest, QuickWayAndScanReadBackTheCatalogue)
{
	MakeTree();
	for (bool cut : {false, true}) {
		SCOPED_TRACE(cut ? "scan" : "quick way");
		std::string images = Source(cut ? "images-cut" : "images");
		std::string id = BackUp(images);
		ASSERT_FALSE(id.empty());
		Forget(id);
		if (cut)
			fs::resize_file(images + "/" + id, fs::file_size(images + "/" + id) - 100);

		CommandResult scan = Run({"scan", "--from", images, "--json"});
		ASSERT_EQ(scan.exitCode, 0) << scan.output;
		EXPECT_NE(scan.output.find("\"id\":\"" + id + "\""), std::string::npos) << scan.output;
		EXPECT_NE(scan.output.find("\"catalogued\":false"), std::string::npos) << scan.output;

		CommandResult insert = Run({"insert", "--from", images});
		ASSERT_EQ(insert.exitCode, 0) << insert.output;
		EXPECT_EQ(insert.output.find("Quick re-indexing failed") != std::string::npos, cut)
			<< insert.output;
		EXPECT_EQ(BackupIds(), std::vector<std::string>{id});
		ExpectRestoresAndCompares(id, cut ? "back-cut" : "back");

		CommandResult again = Run({"insert", "--from", images});
		EXPECT_EQ(again.exitCode, 0) << again.output;
		EXPECT_NE(again.output.find("Nothing to insert"), std::string::npos) << again.output;
		Forget(id);
	}
}

// A backup cut inside a data block ends the insert (aborted, 1) with no
// catalogue; ids the folder does not hold are refused before any job.
TEST_F(InsertCommandTest, DamagedBackupsAndUnknownIdsAreRefused)
{
	MakeTree();
	std::string images = Source("images");
	std::string id = BackUp(images);
	ASSERT_FALSE(id.empty());
	Forget(id);
	// The big file's blocks fill most of the image: its middle is inside one.
	std::string image = images + "/" + id;
	fs::resize_file(image, fs::file_size(image) / 2 + 1001);

	CommandResult insert = Run({"insert", "--from", images, id});
	EXPECT_EQ(insert.exitCode, 1) << insert.output;
	EXPECT_NE(insert.output.find("ERROR: Backup ended unexpected. Backup is corrupt!"),
		std::string::npos) << insert.output;
	EXPECT_TRUE(BackupIds().empty());

	EXPECT_EQ(Run({"insert", "--from", images, "20990101000000"}).exitCode, 3);
	EXPECT_EQ(Run({"insert", "--from", Source("no-such-folder")}).exitCode, 3);
	for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
			{"insert"}, {"insert", "--from", images, "../x"}, {"scan"},
			{"scan", "--from", images, "extra"}}) {
		EXPECT_EQ(Run(bad).exitCode, 64) << bad.back();
	}
}

// A backup over two media whose catalogue record is cut off is scanned from
// its first medium: the insert asks for #1 and then #2, and the catalogue it
// builds restores from both and compares equal, the file that crosses from
// one medium to the next included.
TEST_F(InsertCommandTest, ScanAcrossTwoMedia)
{
	AddMediaVolume(400000);
	CommandResult backup = BackUpOverTwoMedia("tree");
	ASSERT_EQ(backup.exitCode, 0) << backup.output;
	std::vector<std::string> ids = BackupIds();
	ASSERT_EQ(ids.size(), 1u);
	Forget(ids[0]);
	std::string lastImage = MediaFolder() + "/backups/" + ids[0];
	fs::resize_file(lastImage, fs::file_size(lastImage) - 100);

	fMedia.WriteFile("media.medium-1/label-1", "");
	fMedia.WriteFile("media/label-2", "");
	CommandResult insert = Run({"insert", "--from", MediaFolder() + "/backups",
		"--on-media-change", InsertNextLabelledMedium()});
	ASSERT_EQ(insert.exitCode, 0) << insert.output;
	const std::string question = "Change Media: Please insert media '/Media/backups' no. #";
	size_t first = insert.output.find(question + "1!");
	size_t second = insert.output.find(question + "2!");
	EXPECT_NE(first, std::string::npos) << insert.output;
	EXPECT_LT(first, second) << insert.output;
	EXPECT_EQ(BackupIds(), ids);

	// Medium 2 is in the drive again; the restore asks for 1, then 2.
	fs::remove(fMedia / "asked");
	ExpectRestoresAndCompares(ids[0], "back", {"--on-media-change",
		InsertNextLabelledMedium()}, "/Source/tree/spans");
}
