#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <climits>
#include <string>

#include <storage/VolumeTable.h>

#include "CompareTexts.h"
#include "LiveEntryComparer.h"
#include "TestFolder.h"

namespace {

class LiveEntryComparerTest : public testing::Test {
protected:
	void SetUp() override
	{
		fVolumes = std::make_unique<ScopedEnv>("MORVANE_VOLUMES", "live=" + fFolder.Path());
		(void)VolumeTable::Reload();
	}

	void TearDown() override
	{
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	// A header of the live entry at name as a backup of it now would hold,
	// with the attribute records given instead of the entry's own.
	struct Record {
		int64 position;
		std::string value;
	};
	FileHeader HeaderOf(const std::string& name, EntryKind kind,
		const std::vector<Record>& records)
	{
		struct stat status;
		EXPECT_EQ(lstat((fFolder / name).c_str(), &status), 0);
		FileHeaderStat stat;
		stat.size = status.st_size;
		stat.modificationTime = int32(status.st_mtime);
		stat.changeTime = int32(status.st_ctime);
		stat.group = status.st_gid;
		stat.user = status.st_uid;
		stat.permissions = status.st_mode & 07777;
		FileHeader header;
		header.Begin(kind, name.c_str(), stat, 1);
		for (const Record& record : records) {
			EXPECT_EQ(header.AddAttribute("user.note", B_STRING_TYPE, 0, record.position,
				record.value.data(), uint32(record.value.size())), B_OK);
		}
		header.Finish(1);
		return header;
	}

	static std::vector<int32> Texts(const LiveComparison& result)
	{
		std::vector<int32> texts;
		for (const JobReportLine& line : result.lines)
			texts.push_back(line.textID);
		return texts;
	}

	TestFolder fFolder;
	std::unique_ptr<ScopedEnv> fVolumes;
};

}	// namespace

// Attribute records against the live value: equal, longer or shorter live
// values, other bytes, and records a damaged backup could hold (a negative
// or huge position) give their line, never a crash or a huge buffer.
TEST_F(LiveEntryComparerTest, AttributeRecords)
{
	std::string path = fFolder.WriteFile("file", "data");
	ASSERT_EQ(setxattr(path.c_str(), "user.note", "abcdef", 6, 0), 0);
	struct Case {
		const char* what;
		std::vector<Record> records;
		std::vector<int32> texts;
		int32 misscompared;
		int32 readErrors;
	};
	const Case cases[] = {
		{"equal", {{0, "abcdef"}}, {}, 0, 0},
		{"live longer", {{0, "abc"}}, {kTextAttributeSizeDifferent}, 1, 0},
		{"live shorter", {{0, "abcdefgh"}}, {kTextAttributeSizeDifferent}, 1, 0},
		{"other bytes", {{0, "abcdeX"}}, {kTextAttributeDataDifferent}, 1, 0},
		{"the tail of a value", {{3, "def"}}, {}, 0, 0},
		{"negative position", {{-(int64(1) << 62), "abc"}}, {kTextCannotReadLiveAttribute}, 0, 1},
		{"position past the value", {{INT64_MAX, "abc"}}, {kTextAttributeSizeDifferent}, 1, 0},
	};
	LiveEntryComparer comparer(CompareOptions::All());
	for (const Case& test : cases) {
		FileHeader header = HeaderOf("file", EntryKind::File, test.records);
		BFile file;
		LiveComparison result = comparer.Compare("/live/file", "file", header,
			kArchiveVersion, "", &file);
		EXPECT_EQ(Texts(result), test.texts) << test.what;
		EXPECT_EQ(result.misscompared, test.misscompared) << test.what;
		EXPECT_EQ(result.readErrors, test.readErrors) << test.what;
		EXPECT_EQ(result.type, LiveType::File) << test.what;
	}
}

// A link's text is compared whole, however long; a link on one side only is
// a difference; the data of a file is opened only when it is compared.
TEST_F(LiveEntryComparerTest, LinksAndWhatIsOpened)
{
	std::string target(2000, 't');
	ASSERT_EQ(symlink(target.c_str(), (fFolder / "long").c_str()), 0);
	fFolder.WriteFile("file", "data");
	FileHeader link = HeaderOf("long", EntryKind::SymLink, {});
	BFile file;
	LiveEntryComparer all(CompareOptions::All());
	EXPECT_TRUE(all.Compare("/live/long", "long", link, kArchiveVersion, target, &file)
		.lines.empty());
	LiveComparison changed = all.Compare("/live/long", "long", link, kArchiveVersion,
		target + "x", &file);
	EXPECT_EQ(Texts(changed), std::vector<int32>{kTextLinkDifferent});

	FileHeader linkOnce = HeaderOf("file", EntryKind::SymLink, {});
	EXPECT_EQ(Texts(all.Compare("/live/file", "file", linkOnce, kArchiveVersion, "data", &file)),
		std::vector<int32>{kTextLinkDifferent});

	FileHeader data = HeaderOf("file", EntryKind::File, {});
	(void)all.Compare("/live/file", "file", data, kArchiveVersion, "", &file);
	EXPECT_EQ(file.InitCheck(), B_OK);
	BMessage onlyDates;
	onlyDates.AddInt32("mdate", 1);
	(void)LiveEntryComparer(CompareOptions(onlyDates)).Compare("/live/file", "file", data,
		kArchiveVersion, "", &file);
	EXPECT_NE(file.InitCheck(), B_OK);

	LiveComparison gone = all.Compare("/live/gone", "gone", data, kArchiveVersion, "", &file);
	EXPECT_EQ(Texts(gone), std::vector<int32>{kTextCannotAccessSource});
	EXPECT_EQ(gone.type, LiveType::Missing);
}
