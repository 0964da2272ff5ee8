// Real backups and restores through the server and `morvane`.

#include "MorvaneFixture.h"

#include "AwaitCondition.h"
#include "NextSecond.h"

#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// What a restore must bring back of one entry.
struct EntryState {
	char kind = '?';
	std::string content;        // file data or link target
	mode_t mode = 0;
	time_t modified = 0;
	std::map<std::string, std::string> attributes;

	bool operator==(const EntryState& other) const = default;
};

std::map<std::string, std::string> Attributes(const std::string& path)
{
	std::map<std::string, std::string> attributes;
	char names[4096];
	ssize_t length = llistxattr(path.c_str(), names, sizeof(names));
	for (ssize_t at = 0; at < length; at += strlen(names + at) + 1) {
		char value[4096];
		ssize_t size = lgetxattr(path.c_str(), names + at, value, sizeof(value));
		attributes[names + at] = std::string(value, size > 0 ? size_t(size) : 0);
	}
	return attributes;
}

// Every entry below root by its relative path.
std::map<std::string, EntryState> Walk(const std::string& root)
{
	std::map<std::string, EntryState> tree;
	for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
		std::string path = entry.path().string();
		struct stat status;
		if (lstat(path.c_str(), &status) != 0)
			continue;
		EntryState state;
		state.mode = status.st_mode & 07777;
		state.attributes = Attributes(path);
		if (S_ISLNK(status.st_mode)) {
			state.kind = 'l';
			state.content = fs::read_symlink(entry.path()).string();
		} else if (S_ISDIR(status.st_mode)) {
			state.kind = 'd';
		} else {
			state.kind = 'f';
			state.content = ReadWholeFile(path).value_or("<unreadable>");
			state.modified = status.st_mtime;
		}
		tree[fs::relative(entry.path(), root).string()] = state;
	}
	return tree;
}

void SetOld(const std::string& path)
{
	timeval times[2] = {{1577836800, 0}, {1577836800, 0}};
	ASSERT_EQ(lutimes(path.c_str(), times), 0) << path;
}

class BackupTest : public MorvaneFixture {
protected:
	// Files of the sizes around a data block, nested folders, a link and
	// attributes of both kinds.
	void MakeTree()
	{
		fSource.WriteFile("data/zero", "");
		fSource.WriteFile("data/one", "1");
		fSource.WriteFile("data/block", std::string(65512, 'b'));
		fSource.WriteFile("data/block+1", std::string(65513, 'c'));
		std::string big;
		for (uint32 i = 0; big.size() < 3 * 1024 * 1024; i++)
			big += std::to_string(i * 2654435761u) + ",";
		fSource.WriteFile("data/big", big);
		fSource.WriteFile("data/nested/deeper/leaf", "leaf");
		ASSERT_EQ(symlink("one", Source("data/link").c_str()), 0);
		ASSERT_EQ(setxattr(Source("data/one").c_str(), "user.raw", "\x01\x02", 2, 0), 0);
		std::string typed = "RTSC" + std::string("hello", 6);
		ASSERT_EQ(setxattr(Source("data/nested").c_str(), "user.mv.MVTEST", typed.data(),
			typed.size(), 0), 0);
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
};

}	// namespace

// A full backup of every entry kind is listed, browsable, reported, and restores identically.
TEST_F(BackupTest, FullBackupRestoresEveryEntryKind)
{
	MakeTree();
	CommandResult backup = Run({"backup", "--to", Source("images"), "--compress", "lzrw1",
		"--title", "Every kind", Source("data")});
	ASSERT_EQ(backup.exitCode, 0) << backup.output;
	// By default the items and the settings stay in the report.
	for (const char* shown : {"Backup successful", "Files saved:"})
		EXPECT_NE(backup.output.find(shown), std::string::npos) << shown << backup.output;
	for (const char* left : {"/Source/data/block+1\n", "Destination:"})
		EXPECT_EQ(backup.output.find(left), std::string::npos) << left << backup.output;

	std::vector<std::string> ids = BackupIds();
	ASSERT_EQ(ids.size(), 1u);
	EXPECT_TRUE(fs::exists(LogDataFolder() + "/" + ids[0]));
	EXPECT_TRUE(fs::exists(Source("images/" + ids[0])));
	CommandResult listed = Run({"backups"});
	EXPECT_NE(listed.output.find("Every kind"), std::string::npos) << listed.output;

	CommandResult top = Run({"ls", ids[0]});
	EXPECT_EQ(top.output.find("/Source\n") != std::string::npos, true) << top.output;
	CommandResult folder = Run({"ls", ids[0], "/Source/data"});
	ASSERT_EQ(folder.exitCode, 0);
	for (const char* path : {"/Source/data/zero", "/Source/data/big", "/Source/data/link",
			"/Source/data/nested"}) {
		EXPECT_NE(folder.output.find(std::string(path) + "\n"), std::string::npos) << path
			<< "\n" << folder.output;
	}
	EXPECT_EQ(folder.output.find("/Source/data/nested/deeper"), std::string::npos);
	CommandResult file = Run({"ls", "--json", ids[0], "/Source/data/block+1"});
	EXPECT_NE(file.output.find("\"type\":\"file\",\"size\":65513"), std::string::npos)
		<< file.output;
	EXPECT_NE(LatestReportText().find("Status:\t\t\t\tBackup successful"), std::string::npos);

	CommandResult restore = Run({"restore", "--verbose", ids[0], "/Source/data", "--to",
		Source("back")});
	ASSERT_EQ(restore.exitCode, 0) << restore.output;
	for (const char* shown : {"/Source/data/block+1\n", "Files restored:"})
		EXPECT_NE(restore.output.find(shown), std::string::npos) << shown << restore.output;
	std::map<std::string, EntryState> original = Walk(Source("data"));
	std::map<std::string, EntryState> restored = Walk(Source("back/data"));
	EXPECT_EQ(restored.size(), original.size());
	for (const auto& [path, state] : original) {
		auto found = restored.find(path);
		ASSERT_NE(found, restored.end()) << path;
		EXPECT_EQ(found->second.kind, state.kind) << path;
		EXPECT_TRUE(found->second.content == state.content) << path;
		EXPECT_EQ(found->second.mode, state.mode) << path;
		EXPECT_EQ(found->second.modified, state.modified) << path;
		EXPECT_EQ(found->second.attributes, state.attributes) << path;
	}

	// Deleting with the data removes the catalogue file and the image.
	ASSERT_EQ(Run({"delete", "--data", ids[0]}).exitCode, 0);
	EXPECT_FALSE(fs::exists(Source("images/" + ids[0])));
	EXPECT_TRUE(AwaitCondition([this] { return BackupIds().empty(); }, kPatience));
}

// A read-only destination aborts the job with the read-only text and exit status 1.
TEST_F(BackupTest, ReadOnlyDestinationAborts)
{
	fSource.WriteFile("data/a", "a");
	CommandResult backup = Run({"backup", "--to", ReadOnlyFolder(), Source("data")});
	EXPECT_EQ(backup.exitCode, 1) << backup.output;
	EXPECT_NE(backup.output.find("ERROR: destination drive is read only!"), std::string::npos)
		<< backup.output;
	EXPECT_NE(backup.output.find("Backup aborted"), std::string::npos);
	EXPECT_TRUE(BackupIds().empty());
}

// An incremental backup after touching two files holds those files and the folders leading to them.
TEST_F(BackupTest, IncrementalHoldsTheChangedFiles)
{
	for (const char* name : {"data/keep", "data/sub/keep", "data/sub/change", "data/other/keep",
			"data/change"}) {
		fSource.WriteFile(name, name);
	}
	for (const char* name : {"data/keep", "data/sub/keep", "data/sub/change", "data/other/keep",
			"data/change", "data/sub", "data/other", "data"}) {
		SetOld(Source(name));
	}
	// The full run starts after every status change above.
	(void)NextSecond();
	CommandResult full = Run({"backup", "--to", Source("images"), "--every", "1d",
		Source("data")});
	ASSERT_EQ(full.exitCode, 0) << full.output;
	size_t at = full.output.find("Job ");
	std::string jobId = full.output.substr(at + 4, full.output.find(' ', at + 4) - at - 4);

	fSource.WriteFile("data/sub/change", "changed");
	fSource.WriteFile("data/change", "changed");
	CommandResult incremental = Run({"backup", "--verbose", "--to", Source("images"), "--mode",
		"incremental", "--base", jobId});
	ASSERT_EQ(incremental.exitCode, 0) << incremental.output;
	EXPECT_NE(incremental.output.find("/Source/data/sub/change\n"), std::string::npos)
		<< incremental.output;
	EXPECT_NE(incremental.output.find("/Source/data/change\n"), std::string::npos);
	EXPECT_EQ(incremental.output.find("/keep\n"), std::string::npos) << incremental.output;
	EXPECT_EQ(incremental.output.find("/Source/data/other"), std::string::npos);
	CommandResult listed = Run({"backups", "--json"});
	EXPECT_NE(listed.output.find("\"mode\":\"incremental\""), std::string::npos)
		<< listed.output;
	EXPECT_NE(listed.output.find("\"destination\":\"MVImage\""), std::string::npos)
		<< listed.output;
	EXPECT_EQ(Run({"remove", jobId}).exitCode, 0);
}

// What a backup leaves behind is its user's alone: the image folder it made
// 0700, and images, catalogue, report and job list 0600.
TEST_F(BackupTest, BackupFilesArePrivate)
{
	fSource.WriteFile("data/secret", "private");
	ASSERT_EQ(chmod(Source("data/secret").c_str(), 0600), 0);
	CommandResult backup = Run({"backup", "--to", Source("new/images"), Source("data")});
	ASSERT_EQ(backup.exitCode, 0) << backup.output;

	// The report is stored as the job ends, beside the client's end.
	std::string reports = fTree.ServerFolder() + "/report";
	ASSERT_TRUE(AwaitCondition([&] {
		std::error_code error;
		return fs::exists(reports, error) && !fs::is_empty(reports, error);
	}, kPatience));
	struct stat status;
	for (const std::string& folder : {Source("new"), Source("new/images")}) {
		ASSERT_EQ(stat(folder.c_str(), &status), 0) << folder;
		EXPECT_EQ(status.st_mode & 0777, mode_t(0700)) << folder;
	}
	std::vector<std::string> files;
	for (const std::string& folder : {Source("new/images"), LogDataFolder(),
			fTree.ServerFolder() + "/report"}) {
		for (const fs::directory_entry& entry : fs::directory_iterator(folder))
			files.push_back(entry.path().string());
	}
	files.push_back(fTree.ServerFolder() + "/MorvaneServer.joblist");
	EXPECT_GE(files.size(), 4u);
	for (const std::string& file : files) {
		ASSERT_EQ(stat(file.c_str(), &status), 0) << file;
		EXPECT_EQ(status.st_mode & 0777, mode_t(0600)) << file;
	}
}

// Names and titles with a newline or an escape sequence are shown escaped
// in human output, one entry per line; JSON keeps them as they are.
TEST_F(BackupTest, ControlCharactersAreShownEscaped)
{
	fSource.WriteFile("odd/two\nlines", "x");
	CommandResult backup = Run({"backup", "--verbose", "--title", "\x1b[2Jtitle", "--to",
		Source("images"), Source("odd")});
	ASSERT_EQ(backup.exitCode, 0) << backup.output;
	EXPECT_NE(backup.output.find("/odd/two\\nlines\n"), std::string::npos) << backup.output;
	EXPECT_EQ(backup.output.find('\x1b'), std::string::npos);
	std::vector<std::string> ids = BackupIds();
	ASSERT_EQ(ids.size(), 1u);

	std::string listed = Run({"backups"}).output;
	EXPECT_NE(listed.find("\\x1b[2Jtitle"), std::string::npos) << listed;
	EXPECT_EQ(listed.find('\x1b'), std::string::npos);
	std::string files = Run({"ls", ids[0], "/Source/odd"}).output;
	EXPECT_NE(files.find("two\\nlines\n"), std::string::npos) << files;
	EXPECT_EQ(std::count(files.begin(), files.end(), '\n'), 1) << files;
	EXPECT_NE(Run({"backups", "--json"}).output.find("\\u001b[2Jtitle"), std::string::npos);
}
