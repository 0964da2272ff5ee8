// Restores to the original place against an existing tree, and a restore of
// a hostile catalogue, through `morvane` and a real server.

#include "MorvaneFixture.h"

#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/time.h>

#include "CatalogueFile.h"
#include "CatalogueFormat.h"

namespace fs = std::filesystem;

namespace {

// Every file below root with its content and modification time.
std::map<std::string, std::string> Snapshot(const std::string& root)
{
	std::map<std::string, std::string> files;
	for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
		struct stat status;
		if (lstat(entry.path().c_str(), &status) != 0)
			continue;
		std::string state = std::to_string(status.st_mtime) + ":"
			+ std::to_string(status.st_mode);
		if (S_ISREG(status.st_mode))
			state += ":" + ReadWholeFile(entry.path()).value_or("<unreadable>");
		files[fs::relative(entry.path(), root).string()] = state;
	}
	return files;
}

void SetTime(const std::string& path, time_t when)
{
	timeval times[2] = {{when, 0}, {when, 0}};
	ASSERT_EQ(utimes(path.c_str(), times), 0) << path;
}

class RestorePlacesTest : public MorvaneFixture {
protected:
	std::string BackUp(const std::string& folder)
	{
		CommandResult backup = Run({"backup", "--to", Source("images"), Source(folder)});
		EXPECT_EQ(backup.exitCode, 0) << backup.output;
		std::vector<std::string> ids = BackupIds();
		return ids.empty() ? std::string() : ids.back();
	}
};

}	// namespace

// Rename keeps both existing copies (notes and notes.1 present: the old notes
// becomes notes.2); "no" leaves an existing tree exactly as it was.
TEST_F(RestorePlacesTest, OriginalPlaceRenameAndNo)
{
	fSource.WriteFile("home/notes", "backed up");
	fSource.WriteFile("home/letters/draft", "draft");
	std::string id = BackUp("home");
	ASSERT_FALSE(id.empty());

	fSource.WriteFile("home/notes", "old notes");
	fSource.WriteFile("home/notes.1", "older notes");
	CommandResult rename = Run({"restore", id, "/Source/home", "--overwrite", "rename"});
	ASSERT_EQ(rename.exitCode, 0) << rename.output;
	EXPECT_EQ(ReadWholeFile(Source("home/notes")).value_or(""), "backed up");
	EXPECT_EQ(ReadWholeFile(Source("home/notes.1")).value_or(""), "older notes");
	EXPECT_EQ(ReadWholeFile(Source("home/notes.2")).value_or(""), "old notes");
	EXPECT_EQ(ReadWholeFile(Source("home/letters/draft")).value_or(""), "draft");
	EXPECT_TRUE(fs::exists(Source("home/letters/draft.1")));

	fSource.WriteFile("home/notes", "mine now");
	fSource.WriteFile("home/letters/draft", "rewritten");
	SetTime(Source("home/notes"), 1000000);
	fs::remove(Source("home/notes.1"));
	std::map<std::string, std::string> before = Snapshot(Source("home"));
	CommandResult keep = Run({"restore", id, "/Source/home", "--overwrite", "no"});
	EXPECT_EQ(keep.exitCode, 0) << keep.output;
	EXPECT_EQ(Snapshot(Source("home")), before);
}

// A catalogue whose paths climb out with ".." restores nothing outside the
// target folder, and the server goes on answering.
TEST_F(RestorePlacesTest, HostileCatalogueStaysInside)
{
	fSource.WriteFile("h/evil/payload", "bad");
	fSource.WriteFile("h/zother", "fine");
	std::string id = BackUp("h");
	ASSERT_FALSE(id.empty());

	std::string path = SystemPath(LogDataFolder() + "/" + id);
	BMessage catalogue;
	ASSERT_EQ(CatalogueFile::Read(path.c_str(), &catalogue), B_OK);
	int32 replaced = 0;
	for (int32 i = 0; const char* name = catalogue.GetString(kLogNameKey, i, nullptr); i++) {
		std::string entry(name);
		const char* hostile = nullptr;
		if (entry == "/Source/h/evil")
			hostile = "/Source/h/..";
		else if (entry == "/Source/h/evil/payload")
			hostile = "/Source/h/../../payload";
		if (hostile != nullptr && catalogue.ReplaceString(kLogNameKey, i, hostile) == B_OK)
			replaced++;
	}
	ASSERT_EQ(replaced, 2);
	ASSERT_EQ(CatalogueFile::Write(path.c_str(), catalogue), B_OK);

	// The target lies deep enough that every escape lands in the source
	// volume, where the snapshots see it.
	fs::create_directories(Source("a/b/c/out"));
	std::map<std::string, std::string> before = Snapshot(fSource.Path());
	CommandResult restore = Run({"restore", id, "--to", Source("a/b/c/out")});
	EXPECT_EQ(restore.exitCode, 2) << restore.output;
	for (const auto& [name, state] : Snapshot(fSource.Path())) {
		if (before.count(name) == 0) {
			EXPECT_EQ(name.rfind("a/b/c/out/", 0), 0u) << "written outside: " << name;
		}
	}
	EXPECT_EQ(ReadWholeFile(Source("a/b/c/out/h/zother")).value_or(""), "fine");
	EXPECT_EQ(Run({"jobs"}).exitCode, 0);
	EXPECT_EQ(Run({"backups"}).exitCode, 0);
}
