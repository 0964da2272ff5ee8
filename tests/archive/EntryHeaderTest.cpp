// File headers built from live entries carry their stat data and every
// attribute, and restoring those attributes reports what the file system
// refuses instead of dropping it.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include <storage/Node.h>
#include <storage/VolumeTable.h>

#include "ArchiveTestData.h"
#include "TestFolder.h"

namespace {

class EntryHeaderTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fFolder.MakeFolder("disk");
		fEnvironment.emplace("MORVANE_VOLUMES", "Disk=" + fFolder / "disk");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
	}

	void TearDown() override
	{
		fEnvironment.reset();
		(void)VolumeTable::Reload();
	}

	std::string Native(const std::string& name) const { return fFolder / ("disk/" + name); }

	TestFolder fFolder;
	std::optional<ScopedEnv> fEnvironment;
};

std::vector<TestAttribute> Attributes(const FileHeader& header)
{
	std::vector<TestAttribute> found;
	uint32 cursor = 0;
	FileHeaderAttribute attribute;
	while (header.NextAttribute(&cursor, &attribute) == B_OK) {
		found.push_back({attribute.name, attribute.type,
			std::vector<uint8>(attribute.data, attribute.data + attribute.length)});
	}
	return found;
}

const TestAttribute* FindAttribute(const std::vector<TestAttribute>& list, const char* name)
{
	for (const TestAttribute& attribute : list) {
		if (attribute.name == name)
			return &attribute;
	}
	return nullptr;
}

}

TEST_F(EntryHeaderTest, FileWithAttributes)
{
	fFolder.WriteFile("disk/abc", "hello");
	ASSERT_EQ(chmod(Native("abc").c_str(), 0640), 0);
	BNode node("/Disk/abc");
	ASSERT_EQ(node.InitCheck(), B_OK);
	ASSERT_EQ(node.WriteAttr("MV:note", B_STRING_TYPE, 0, "hi", 3), 3);
	ASSERT_EQ(node.WriteAttr("user.raw", B_RAW_TYPE, 0, "\x01\x02", 2), 2);
	ASSERT_EQ(node.WriteAttr("MV:empty", B_STRING_TYPE, 0, "", 0), 0);

	FileHeader header;
	std::vector<std::string> skipped;
	ASSERT_EQ(header.BuildFromEntry("/Disk/abc", 1, 7, &skipped), B_OK);
	EXPECT_TRUE(skipped.empty());
	EXPECT_EQ(header.Kind(), EntryKind::File);
	EXPECT_STREQ(header.Name(), "abc");
	EXPECT_EQ(header.Level(), 1u);
	EXPECT_EQ(header.EntryNumber(), 7);
	EXPECT_EQ(header.Stat().size, 5);
	EXPECT_EQ(header.Stat().permissions, 0640u);
	EXPECT_EQ(header.Stat().user, getuid());
	EXPECT_EQ(header.AttributeOffset(), 80);
	EXPECT_EQ(header.DataOffset(), int64(header.Length()));

	std::vector<TestAttribute> attributes = Attributes(header);
	EXPECT_EQ(FindAttribute(attributes, "MV:empty"), nullptr);
	const TestAttribute* note = FindAttribute(attributes, "MV:note");
	ASSERT_NE(note, nullptr);
	EXPECT_EQ(note->type, B_STRING_TYPE);
	EXPECT_EQ(note->value, std::vector<uint8>({'h', 'i', 0}));
	const TestAttribute* raw = FindAttribute(attributes, "user.raw");
	ASSERT_NE(raw, nullptr);
	EXPECT_EQ(raw->type, B_RAW_TYPE);

	// Written back to another file, the attributes come out the same.
	fFolder.WriteFile("disk/copy", "");
	BNode copy("/Disk/copy");
	int32 failures = -1;
	EXPECT_EQ(header.WriteAttributesTo(&copy, kArchiveVersion, &failures), B_OK);
	EXPECT_EQ(failures, 0);
	char value[8] = {};
	EXPECT_EQ(copy.ReadAttr("MV:note", B_STRING_TYPE, 0, value, sizeof(value)), 3);
	EXPECT_STREQ(value, "hi");
}

TEST_F(EntryHeaderTest, KindsOfEntries)
{
	fFolder.MakeFolder("disk/folder");
	ASSERT_EQ(symlink("folder/x", Native("link").c_str()), 0);
	fFolder.WriteFile("disk/empty", "");

	FileHeader header;
	ASSERT_EQ(header.BuildFromEntry("/Disk", 0, 0, nullptr), B_OK);
	EXPECT_EQ(header.Kind(), EntryKind::VolumeRoot);
	ASSERT_EQ(header.BuildFromEntry("/Disk/folder", 1, 1, nullptr), B_OK);
	EXPECT_EQ(header.Kind(), EntryKind::Directory);
	EXPECT_EQ(header.DataOffset(), 0);
	ASSERT_EQ(header.BuildFromEntry("/Disk/link", 1, 2, nullptr), B_OK);
	EXPECT_EQ(header.Kind(), EntryKind::SymLink);
	EXPECT_EQ(header.Stat().size, 8);
	EXPECT_EQ(header.DataOffset(), 0);
	ASSERT_EQ(header.BuildFromEntry("/Disk/empty", 1, 3, nullptr), B_OK);
	EXPECT_EQ(header.Kind(), EntryKind::File);
	EXPECT_EQ(header.DataOffset(), 0);
	EXPECT_EQ(header.AttributeOffset(), 0);

	EXPECT_NE(header.BuildFromEntry("/Disk/missing", 1, 4, nullptr), B_OK);
}

// Linux keeps at most 64 KiB in one xattr (and ext4 far less per file): a
// larger value from a backup is an error of the restore, and the values
// that fit are still written.
TEST_F(EntryHeaderTest, TooLargeAttributeIsReported)
{
	FileHeader header;
	TestEntry entry{"f", EntryKind::File, 1, {}, "",
		{{"MV:small", B_INT32_TYPE, {1, 2, 3, 4}},
			{"user.huge", B_RAW_TYPE, NoiseBytes(70000, 1)},
			{"MV:after", B_INT32_TYPE, {5, 6, 7, 8}}}};
	MakeHeader(entry, 0, &header);

	fFolder.WriteFile("disk/target", "");
	BNode node("/Disk/target");
	int32 failures = 0;
	status_t status = header.WriteAttributesTo(&node, kArchiveVersion, &failures);
	EXPECT_NE(status, B_OK);
	EXPECT_EQ(failures, 1);
	int32 value = 0;
	EXPECT_EQ(node.ReadAttr("MV:small", B_INT32_TYPE, 0, &value, 4), 4);
	EXPECT_EQ(node.ReadAttr("MV:after", B_INT32_TYPE, 0, &value, 4), 4);
	EXPECT_EQ(value, 0x08070605);
}
