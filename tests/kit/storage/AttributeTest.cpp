#include <storage/Node.h>

#include <gtest/gtest.h>

#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <set>

#include <storage/File.h>
#include <support/TypeConstants.h>

#include "StorageTestSupport.h"

namespace {

constexpr long kExt4Magic = 0xEF53;

std::string RawXattr(const std::string& native, const char* name)
{
	char buffer[256];
	ssize_t size = lgetxattr(native.c_str(), name, buffer, sizeof(buffer));
	return size < 0 ? "missing" : std::string(buffer, size_t(size));
}


std::set<std::string> AttributeNames(BNode& node)
{
	std::set<std::string> names;
	EXPECT_EQ(node.RewindAttrs(), B_OK);
	char name[B_ATTR_NAME_LENGTH];
	while (node.GetNextAttrName(name) == B_OK)
		names.insert(name);
	return names;
}


class AttributeTest : public VolumeTest {
protected:
	void SetUp() override
	{
		VolumeTest::SetUp();
		fFolder.WriteFile("hd/file", "contents");
		ASSERT_EQ(fNode.SetTo("/boot/file"), B_OK);
	}

	BNode fNode;
};

}	// namespace


// A name in a Linux namespace is the xattr itself, byte for byte, and reads
// as raw data; other names carry their type code before the data.
TEST_F(AttributeTest, BothKindsRoundTrip)
{
	const char raw[] = { 'a', '\0', '\xff', 'b' };
	ASSERT_EQ(fNode.WriteAttr("user.foreign", B_INT32_TYPE, 0, raw, sizeof(raw)),
		ssize_t(sizeof(raw)));
	EXPECT_EQ(RawXattr(Boot("file"), "user.foreign"), std::string(raw, sizeof(raw)));
	ASSERT_EQ(setxattr(Boot("file").c_str(), "user.external", "xyz", 3, 0), 0);

	ASSERT_EQ(fNode.WriteAttrString("Media:Name", "Tape 1"), B_OK);
	EXPECT_EQ(RawXattr(Boot("file"), "user.mv.Media:Name"), std::string("CSTRTape 1\0", 11));
	int32 value = 0x01020304;
	ASSERT_EQ(fNode.WriteAttr("count", B_INT32_TYPE, 0, &value, sizeof(value)), 4);

	attr_info info;
	ASSERT_EQ(fNode.GetAttrInfo("user.foreign", &info), B_OK);
	EXPECT_EQ(info.type, type_code(B_RAW_TYPE));
	EXPECT_EQ(info.size, 4);
	ASSERT_EQ(fNode.GetAttrInfo("count", &info), B_OK);
	EXPECT_EQ(info.type, type_code(B_INT32_TYPE));
	EXPECT_EQ(info.size, 4);

	char buffer[16];
	ASSERT_EQ(fNode.ReadAttr("user.external", B_RAW_TYPE, 0, buffer, sizeof(buffer)), 3);
	EXPECT_EQ(std::string(buffer, 3), "xyz");
	// The type given to a read is not checked.
	int32 read = 0;
	ASSERT_EQ(fNode.ReadAttr("count", B_STRING_TYPE, 0, &read, sizeof(read)), 4);
	EXPECT_EQ(read, value);
	std::string text;
	ASSERT_EQ(fNode.ReadAttrString("Media:Name", &text), B_OK);
	EXPECT_EQ(text, "Tape 1");

	EXPECT_EQ(AttributeNames(fNode),
		(std::set<std::string>{ "user.foreign", "user.external", "Media:Name", "count" }));

	// Another node of the same file sees the same attributes.
	BFile file("/boot/file", B_READ_ONLY);
	EXPECT_EQ(AttributeNames(file), AttributeNames(fNode));
}


// Reads and writes at offsets; offset 0 replaces the value, a later offset
// keeps what is around the range and fills a gap with zeroes.
TEST_F(AttributeTest, Offsets)
{
	ASSERT_EQ(fNode.WriteAttr("note", B_STRING_TYPE, 0, "abcdef", 6), 6);
	ASSERT_EQ(fNode.WriteAttr("note", B_STRING_TYPE, 2, "XY", 2), 2);
	char buffer[16] = {};
	ASSERT_EQ(fNode.ReadAttr("note", B_STRING_TYPE, 0, buffer, sizeof(buffer)), 6);
	EXPECT_EQ(std::string(buffer, 6), "abXYef");
	ASSERT_EQ(fNode.ReadAttr("note", B_STRING_TYPE, 4, buffer, 1), 1);
	EXPECT_EQ(buffer[0], 'e');
	EXPECT_EQ(fNode.ReadAttr("note", B_STRING_TYPE, 6, buffer, 4), 0);
	EXPECT_EQ(fNode.ReadAttr("note", B_STRING_TYPE, -1, buffer, 4), B_BAD_VALUE);

	ASSERT_EQ(fNode.WriteAttr("note", B_RAW_TYPE, 8, "Z", 1), 1);
	ASSERT_EQ(fNode.ReadAttr("note", B_ANY_TYPE, 0, buffer, sizeof(buffer)), 9);
	EXPECT_EQ(std::string(buffer, 9), std::string("abXYef\0\0Z", 9));
	attr_info info;
	ASSERT_EQ(fNode.GetAttrInfo("note", &info), B_OK);
	EXPECT_EQ(info.type, type_code(B_RAW_TYPE));

	ASSERT_EQ(fNode.WriteAttr("note", B_STRING_TYPE, 0, "new", 3), 3);
	ASSERT_EQ(fNode.GetAttrInfo("note", &info), B_OK);
	EXPECT_EQ(info.size, 3);

	ASSERT_EQ(fNode.WriteAttr("user.raw", B_RAW_TYPE, 3, "r", 1), 1);
	EXPECT_EQ(RawXattr(Boot("file"), "user.raw"), std::string("\0\0\0r", 4));
}


// Removal, missing attributes and damaged or unusable names.
TEST_F(AttributeTest, RemovalAndErrors)
{
	ASSERT_EQ(fNode.WriteAttrString("gone", "x"), B_OK);
	ASSERT_EQ(fNode.WriteAttr("user.gone", B_RAW_TYPE, 0, "x", 1), 1);
	EXPECT_EQ(fNode.RemoveAttr("gone"), B_OK);
	EXPECT_EQ(fNode.RemoveAttr("user.gone"), B_OK);
	EXPECT_EQ(RawXattr(Boot("file"), "user.mv.gone"), "missing");
	EXPECT_EQ(fNode.RemoveAttr("gone"), B_ATTR_NOT_FOUND);
	char buffer[4];
	EXPECT_EQ(fNode.ReadAttr("gone", B_STRING_TYPE, 0, buffer, 4), B_ATTR_NOT_FOUND);
	attr_info info;
	EXPECT_EQ(fNode.GetAttrInfo("gone", &info), B_ATTR_NOT_FOUND);
	EXPECT_TRUE(AttributeNames(fNode).empty());

	EXPECT_EQ(fNode.WriteAttr("", B_RAW_TYPE, 0, "x", 1), B_BAD_VALUE);
	EXPECT_EQ(fNode.WriteAttr(nullptr, B_RAW_TYPE, 0, "x", 1), B_BAD_VALUE);
	EXPECT_EQ(fNode.WriteAttr(std::string(250, 'n').c_str(), B_RAW_TYPE, 0, "x", 1),
		B_NAME_TOO_LONG);

	// A typed value too short to hold its type code is damaged data.
	ASSERT_EQ(setxattr(Boot("file").c_str(), "user.mv.short", "ab", 2, 0), 0);
	EXPECT_EQ(fNode.ReadAttr("short", B_RAW_TYPE, 0, buffer, 4), B_BAD_DATA);
	EXPECT_EQ(fNode.GetAttrInfo("short", &info), B_BAD_DATA);
	EXPECT_EQ(AttributeNames(fNode), std::set<std::string>{ "short" });

	BNode unset;
	EXPECT_EQ(unset.WriteAttr("x", B_RAW_TYPE, 0, "x", 1), B_NO_INIT);
}


// Values beyond what Linux stores give clean errors and leave the old value.
TEST_F(AttributeTest, SizeLimits)
{
	ASSERT_EQ(fNode.WriteAttrString("big", "old"), B_OK);
	std::string huge(70 * 1024, 'h');
	EXPECT_EQ(fNode.WriteAttr("big", B_RAW_TYPE, 0, huge.data(), huge.size()),
		B_FILE_TOO_LARGE);
	EXPECT_EQ(fNode.WriteAttr("big", B_RAW_TYPE, 65530, "abcdefgh", 8), B_FILE_TOO_LARGE);
	EXPECT_EQ(fNode.WriteAttr("user.big", B_RAW_TYPE, 0, huge.data(), huge.size()),
		B_FILE_TOO_LARGE);

	// ext4 keeps about one block of xattrs per inode; other file systems
	// may hold the whole value.
	std::string large(60 * 1024, 'l');
	ssize_t written = fNode.WriteAttr("large", B_RAW_TYPE, 0, large.data(), large.size());
	struct statfs fileSystem;
	ASSERT_EQ(statfs(Boot("file").c_str(), &fileSystem), 0);
	if (fileSystem.f_type == kExt4Magic)
		EXPECT_EQ(written, B_DEVICE_FULL);
	else
		EXPECT_TRUE(written == ssize_t(large.size()) || written == B_DEVICE_FULL) << written;

	std::string text;
	ASSERT_EQ(fNode.ReadAttrString("big", &text), B_OK);
	EXPECT_EQ(text, "old");
}


// A node set to a symbolic link is the link itself: it does not see the
// target's attributes, and the link's own xattrs are reachable where the
// kernel allows them (not in "user.", which Linux keeps off links).
TEST_F(AttributeTest, SymbolicLinkHasItsOwnAttributes)
{
	ASSERT_EQ(fNode.WriteAttrString("on target", "t"), B_OK);
	ASSERT_EQ(symlink("file", Boot("link").c_str()), 0);
	BNode link("/boot/link");
	ASSERT_EQ(link.InitCheck(), B_OK);
	EXPECT_TRUE(link.IsSymLink());
	char buffer[4];
	EXPECT_EQ(link.ReadAttr("on target", B_STRING_TYPE, 0, buffer, 4), B_ATTR_NOT_FOUND);
	EXPECT_EQ(link.WriteAttrString("typed", "x"), B_NOT_ALLOWED);
	EXPECT_EQ(AttributeNames(link).count("on target"), 0u);

	if (geteuid() != 0)
		GTEST_SKIP() << "trusted xattrs need root";
	ASSERT_EQ(link.WriteAttr("trusted.mine", B_RAW_TYPE, 0, "ln", 2), 2);
	EXPECT_EQ(RawXattr(Boot("link"), "trusted.mine"), "ln");
	EXPECT_EQ(RawXattr(Boot("file"), "trusted.mine"), "missing");
	ASSERT_EQ(link.ReadAttr("trusted.mine", B_RAW_TYPE, 0, buffer, 4), 2);
	EXPECT_EQ(AttributeNames(link).count("trusted.mine"), 1u);
	EXPECT_EQ(link.RemoveAttr("trusted.mine"), B_OK);
}


// Names that need more room than a first look gives are all listed, and a
// list read again sees a name added meanwhile.
TEST_F(AttributeTest, ListsManyLongNames)
{
	std::set<std::string> written;
	for (int i = 0; i < 40; i++) {
		std::string name = "a fairly long attribute name, number " + std::to_string(i);
		ASSERT_EQ(fNode.WriteAttrString(name.c_str(), "v"), B_OK) << name;
		written.insert(name);
	}
	EXPECT_EQ(AttributeNames(fNode), written);
	ASSERT_EQ(fNode.WriteAttrString("late", "v"), B_OK);
	written.insert("late");
	EXPECT_EQ(AttributeNames(fNode), written);
}
