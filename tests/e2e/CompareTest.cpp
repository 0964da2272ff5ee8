// Compare jobs through `morvane` and a real server: every kind of difference
// made to a backed-up tree is found once, and nothing else; --only narrows
// what is compared; a protected backup needs its password.

#include "MorvaneFixture.h"

#include "JobStatistics.h"
#include "NextSecond.h"

#include <filesystem>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr time_t kTreeTime = 1700000000;

void SetTime(const std::string& path, time_t when)
{
	timeval times[2] = {{when, 0}, {when, 0}};
	ASSERT_EQ(lutimes(path.c_str(), times), 0) << path;
}

void SetAttribute(const std::string& path, const std::string& value)
{
	ASSERT_EQ(setxattr(path.c_str(), "user.note", value.data(), value.size(), 0), 0) << path;
}

// The error lines a compare printed: those naming an item ("x: ...") or a
// source it could not reach.
std::multiset<std::string> DifferenceLines(const std::string& output)
{
	std::multiset<std::string> lines;
	std::istringstream stream(output);
	std::string line;
	while (std::getline(stream, line)) {
		if (line.find(" different") != std::string::npos
			|| line.find("differnt") != std::string::npos
			|| line.rfind("Error: can't access source", 0) == 0)
			lines.insert(line);
	}
	return lines;
}

class CompareTest : public MorvaneFixture {
protected:
	std::string BackUp(const std::vector<std::string>& options = {})
	{
		std::vector<std::string> arguments = {"backup", "--to", Source("images"),
			Source("tree")};
		arguments.insert(arguments.end(), options.begin(), options.end());
		CommandResult backup = Run(arguments);
		EXPECT_EQ(backup.exitCode, 0) << backup.output;
		std::vector<std::string> ids = BackupIds();
		return ids.empty() ? std::string() : ids.back();
	}

	std::string MakeFile(const std::string& name, const std::string& content)
	{
		std::string path = fSource.WriteFile("tree/" + name, content);
		chmod(path.c_str(), 0644);
		SetAttribute(path, "abc");
		SetTime(path, kTreeTime);
		return path;
	}
};

}	// namespace

// Each item of the tree differs from its backup in one way; the compare
// reports exactly those differences and ends with errors (2).
TEST_F(CompareTest, FindsExactlyTheDifferencesMade)
{
	std::string big(200000, 'b');
	for (size_t i = 0; i < big.size(); i++)
		big[i] = char('a' + i * 7 % 23);
	std::string second = MakeFile("second-block", big);
	std::string size = MakeFile("size", "ten bytes!");
	std::string date = MakeFile("date", "same");
	std::string perms = MakeFile("perms", "same");
	std::string owner = MakeFile("owner", "same");
	std::string attrSize = MakeFile("attr-size", "same");
	std::string attrData = MakeFile("attr-data", "same");
	std::string gone = MakeFile("gone", "here today");
	std::string same = MakeFile("same", big);
	std::string link = Source("tree/link");
	ASSERT_EQ(symlink("same", link.c_str()), 0);
	SetTime(link, kTreeTime);
	SetTime(Source("tree"), kTreeTime);
	std::string id = BackUp();
	ASSERT_FALSE(id.empty());

	big[70000] ^= 1;
	fSource.WriteFile("tree/second-block", big);
	fSource.WriteFile("tree/size", "ten bytes!!");
	SetTime(date, kTreeTime + 3600);
	chmod(perms.c_str(), 0600);
	SetAttribute(attrSize, "abcd");
	SetAttribute(attrData, "abd");
	fs::remove(gone);
	fs::remove(link);
	ASSERT_EQ(symlink("size", link.c_str()), 0);
	std::multiset<std::string> expected = {
		"second-block: file data different",
		"size: filesize different (backup: 10, source: 11)",
		"size: file data different",
		"perms: permissions different (backup: 'rw-r--r--', source: 'rw-------')",
		"attr-size: attribute size different ('user.note', backup: 3, source: 4)",
		"attr-data: attribute data differnt ('user.note')",
		"Error: can't access source '/Source/tree/gone'",
		"link: symlink contents different (backup: same, source size)",
	};
	int32 differences = 7;
	if (geteuid() == 0) {
		ASSERT_EQ(lchown(owner.c_str(), 4321, 8765), 0);
		expected.insert("owner: user id different (backup: " + std::to_string(getuid())
			+ ", source: 4321)");
		expected.insert("owner: group id different (backup: " + std::to_string(getgid())
			+ ", source: 8765)");
		differences += 2;
	}
	// Only the changes above count: the times of the files rewritten and of
	// the folder whose entries changed are put back.
	for (const std::string& path : {second, size, link, Source("tree")})
		SetTime(path, kTreeTime);

	// Changed files have a new status change time, which is not compared
	// by default. The volume's root folder changes as the test goes on; the
	// tree's items are what is compared.
	CommandResult compare = Run({"compare", id, "/Source/tree"});
	EXPECT_EQ(compare.exitCode, 2) << compare.output;
	expected.insert("date: last modified date different (backup: "
		+ JobStatistics::DateText(kTreeTime) + ", source: "
		+ JobStatistics::DateText(kTreeTime + 3600) + ")");
	EXPECT_EQ(DifferenceLines(compare.output), expected) << compare.output;
	EXPECT_NE(compare.output.find("Misscompared:\t\t\t" + std::to_string(differences + 1)),
		std::string::npos) << compare.output;
	EXPECT_NE(compare.output.find("Read Errors:\t\t\t1"), std::string::npos) << compare.output;
}

// --only compares just the items named: a size change unseen by mdate, a
// status change time only when asked for; a path of the backup compares
// that item alone.
TEST_F(CompareTest, OnlyAndPathsNarrowTheCompare)
{
	std::string grown = MakeFile("grown", "short");
	MakeFile("other", "other");
	std::string id = BackUp();
	ASSERT_FALSE(id.empty());
	// A status change time that differs from the one backed up.
	NextSecond();
	fSource.WriteFile("tree/grown", "longer now");
	SetTime(grown, kTreeTime);

	struct Case {
		std::vector<std::string> arguments;
		int exitCode;
	};
	for (const Case& test : std::vector<Case>{
			{{"/Source/tree", "--only", "mdate"}, 0},
			{{"--only", "size"}, 2},
			{{"/Source/tree/other", "--only", "cdate"}, 0},
			{{"/Source/tree/grown", "--only", "cdate"}, 2},
			{{"/Source/tree/grown", "--only", "data"}, 2}}) {
		std::vector<std::string> arguments = {"compare", id};
		arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
		CommandResult compare = Run(arguments);
		EXPECT_EQ(compare.exitCode, test.exitCode) << compare.output;
	}
	for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
			{"compare"}, {"compare", id, "--only", "size,colour"}, {"compare", id, "--only", ""},
			{"compare", "a/b"}}) {
		EXPECT_EQ(Run(bad).exitCode, 64) << bad.back();
	}
	EXPECT_EQ(Run({"compare", id, "/Source/tree/absent"}).exitCode, 3);
}

// A protected backup compares only with its password, and then equal.
TEST_F(CompareTest, ProtectedBackupNeedsItsPassword)
{
	MakeFile("secret", std::string(100000, 's'));
	std::string id = BackUp({"--password", "sesame"});
	ASSERT_FALSE(id.empty());
	EXPECT_EQ(Run({"compare", id}).exitCode, 64);
	EXPECT_EQ(Run({"compare", id, "--password", "wrong"}).exitCode, 3);
	CommandResult compare = Run({"compare", id, "/Source/tree", "--password", "sesame"});
	EXPECT_EQ(compare.exitCode, 0) << compare.output;
	EXPECT_NE(compare.output.find("Compare successful"), std::string::npos) << compare.output;
}
