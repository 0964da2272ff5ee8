// The server log: its line form, the size limit kept by rotation, and texts
// that try to break the line form.

#include <gtest/gtest.h>

#include <regex>
#include <sys/stat.h>

#include <storage/VolumeTable.h>

#include "MVServerLog.h"
#include "TestFolder.h"

namespace {

class ServerLogTest : public testing::Test {
protected:
	void SetUp() override
	{
		fVolumes = std::make_unique<ScopedEnv>("MORVANE_VOLUMES", "Logs=" + fFolder.Path());
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
	}

	void TearDown() override
	{
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	std::string Read(const char* name) const
	{
		return ReadWholeFile(fFolder / name).value_or("");
	}

	static std::vector<std::string> Lines(const std::string& text)
	{
		std::vector<std::string> lines;
		size_t start = 0;
		for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
			lines.push_back(text.substr(start, end - start));
		return lines;
	}

	TestFolder fFolder;
	std::unique_ptr<ScopedEnv> fVolumes;
};

// Every line is stamped with the local time and written to the file and to
// the echo stream alike.
TEST_F(ServerLogTest, LinesGoToFileAndEcho)
{
	char* echoed = nullptr;
	size_t echoedSize = 0;
	FILE* echo = open_memstream(&echoed, &echoedSize);
	ASSERT_NE(echo, nullptr);
	{
		MVServerLog log("/boot", MVServerLog::kDefaultMaxSize, echo);
		ASSERT_EQ(log.InitCheck(), B_OK);
		EXPECT_EQ(log.Path(), "/boot/server.log");
		log.Log("Client %d registered.", 42);
	}
	fclose(echo);
	std::string echoedText(echoed, echoedSize);
	free(echoed);

	std::string content = Read("server.log");
	EXPECT_EQ(content, echoedText);
	EXPECT_TRUE(std::regex_match(content,
		std::regex("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} Client 42 registered\\.\n")))
		<< content;
}

// The file never reaches its limit: the older lines move to "server.log.1",
// and together the two files keep the newest lines in order.
TEST_F(ServerLogTest, RotationKeepsBothFilesBelowTheLimit)
{
	constexpr off_t kLimit = 1024;
	MVServerLog log("/boot", kLimit, nullptr);
	for (int i = 0; i < 100; i++) {
		log.Log("line %03d of the rotation test", i);
		struct stat status;
		ASSERT_EQ(stat((fFolder / "server.log").c_str(), &status), 0);
		ASSERT_LT(status.st_size, kLimit) << "after line " << i;
	}
	std::vector<std::string> older = Lines(Read("server.log.1"));
	std::vector<std::string> newer = Lines(Read("server.log"));
	ASSERT_FALSE(older.empty());
	ASSERT_FALSE(newer.empty());
	EXPECT_LT(off_t(Read("server.log.1").size()), kLimit);
	EXPECT_NE(newer.back().find("line 099"), std::string::npos);

	std::vector<std::string> all = older;
	all.insert(all.end(), newer.begin(), newer.end());
	int first = std::stoi(all.front().substr(all.front().find("line ") + 5, 3));
	for (size_t i = 0; i < all.size(); i++) {
		char expected[32];
		snprintf(expected, sizeof(expected), "line %03d ", first + int(i));
		EXPECT_NE(all[i].find(expected), std::string::npos) << all[i];
	}
}

// A text cannot forge lines of its own, and a very long one is cut.
TEST_F(ServerLogTest, TextsStayOnOneBoundedLine)
{
	MVServerLog log("/boot", MVServerLog::kDefaultMaxSize, nullptr);
	log.LogText("first\n2024-01-01 00:00:00 forged\r\tline\x1b[2J");
	log.LogText(std::string(3 * MVServerLog::kMaxLineLength, 'x').c_str());
	log.LogText(nullptr);

	std::vector<std::string> lines = Lines(Read("server.log"));
	ASSERT_EQ(lines.size(), 3u);
	EXPECT_NE(lines[0].find("first 2024-01-01 00:00:00 forged  line [2J"), std::string::npos)
		<< lines[0];
	EXPECT_LE(lines[1].size(), MVServerLog::kMaxLineLength + 20);
	EXPECT_GE(lines[1].size(), MVServerLog::kMaxLineLength);
}

// A log whose folder cannot be written goes on with its echo alone.
TEST_F(ServerLogTest, UnwritableFolderLeavesTheEcho)
{
	char* echoed = nullptr;
	size_t echoedSize = 0;
	FILE* echo = open_memstream(&echoed, &echoedSize);
	ASSERT_NE(echo, nullptr);
	{
		MVServerLog log("/boot/missing", MVServerLog::kDefaultMaxSize, echo);
		EXPECT_NE(log.InitCheck(), B_OK);
		log.Log("still told");
	}
	fclose(echo);
	EXPECT_NE(std::string(echoed, echoedSize).find("still told"), std::string::npos);
	free(echoed);
}

}	// namespace
