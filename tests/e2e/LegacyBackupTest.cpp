// Backups written before the tree was laid out in layers (tests/data/
// legacy-backups) are listed, browsed and restored by today's server and
// `morvane`, with every byte, link and attribute they hold.

#include "MorvaneFixture.h"

#include <filesystem>
#include <fstream>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kLegacyFolder = std::string(MORVANE_TEST_DATA_DIR) + "/legacy-backups";
constexpr const char* kLzrw1Backup = "2026120881778128";
constexpr const char* kProtectedBackup = "2026120833275137";

std::vector<char> FromHex(const std::string& hex)
{
	std::vector<char> bytes;
	for (size_t at = 2; at + 1 < hex.size(); at += 2)
		bytes.push_back(char(std::stoi(hex.substr(at, 2), nullptr, 16)));
	return bytes;
}

// The bytes of the kept tree's data/pattern.bin.
std::string PatternBytes()
{
	std::string bytes(200000, '\0');
	for (size_t i = 0; i < bytes.size(); i++)
		bytes[i] = char(((i * 31 + 7) ^ (i >> 9)) & 0xff);
	return bytes;
}

class LegacyBackupTest : public MorvaneFixture {
protected:
	void SetUp() override
	{
		MorvaneFixture::SetUp();
		fs::create_directories(Source("Images"));
		fs::create_directories(LogDataFolder());
		for (const char* id : {kLzrw1Backup, kProtectedBackup}) {
			fs::copy_file(kLegacyFolder + "/images/" + id, Source("Images/") + id);
			fs::copy_file(kLegacyFolder + "/logdata/" + id, LogDataFolder() + "/" + id);
		}
		_SetAttributes();
	}

private:
	// The catalogue files' attributes, as `getfattr -d -e hex` listed them.
	void _SetAttributes()
	{
		std::ifstream listing(kLegacyFolder + "/logdata/attributes.txt");
		std::string line;
		std::string file;
		while (std::getline(listing, line)) {
			if (line.rfind("# file: ", 0) == 0) {
				file = LogDataFolder() + "/" + line.substr(8);
				continue;
			}
			size_t equals = line.find('=');
			if (equals == std::string::npos)
				continue;
			std::vector<char> value = FromHex(line.substr(equals + 1));
			ASSERT_EQ(setxattr(file.c_str(), line.substr(0, equals).c_str(), value.data(),
				value.size(), 0), 0) << line;
		}
	}
};

}	// namespace

TEST_F(LegacyBackupTest, ListedBrowsedAndRestored)
{
	CommandResult list = Run({"backups"});
	ASSERT_EQ(list.exitCode, 0) << list.output;
	EXPECT_NE(list.output.find("Legacy LZRW1"), std::string::npos) << list.output;
	EXPECT_NE(list.output.find("Legacy protected"), std::string::npos) << list.output;

	CommandResult browse = Run({"ls", kLzrw1Backup, "/Source/legacy/docs"});
	ASSERT_EQ(browse.exitCode, 0) << browse.output;
	EXPECT_NE(browse.output.find("readme.txt"), std::string::npos) << browse.output;
	EXPECT_NE(browse.output.find("empty file"), std::string::npos) << browse.output;

	struct Case {
		const char* id;
		std::vector<std::string> extra;
	};
	for (const Case& backup : {Case{kLzrw1Backup, {}},
			Case{kProtectedBackup, {"--password", "sesame"}}}) {
		SCOPED_TRACE(backup.id);
		std::string target = Source(std::string("restored-") + backup.id);
		std::vector<std::string> arguments = {"restore", backup.id, "/Source/legacy", "--to",
			target};
		arguments.insert(arguments.end(), backup.extra.begin(), backup.extra.end());
		CommandResult restore = Run(arguments);
		ASSERT_EQ(restore.exitCode, 0) << restore.output;

		std::string root = target + "/legacy";
		EXPECT_EQ(ReadWholeFile(root + "/docs/readme.txt").value_or(""),
			"Written before the layers were reshaped.\n");
		EXPECT_EQ(ReadWholeFile(root + "/docs/empty file").value_or("missing"), "");
		EXPECT_EQ(ReadWholeFile(root + "/data/pattern.bin").value_or(""), PatternBytes());
		EXPECT_EQ(fs::read_symlink(root + "/data/readme-link"), "../docs/readme.txt");
		EXPECT_TRUE(fs::is_directory(root + "/empty folder"));
		char comment[64] = {};
		ssize_t length = getxattr((root + "/docs/readme.txt").c_str(), "user.comment", comment,
			sizeof(comment));
		EXPECT_EQ(std::string(comment, length > 0 ? size_t(length) : 0), "legacy attribute");
	}
}
