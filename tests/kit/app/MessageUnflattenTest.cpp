// Broken flattened messages of every kind are refused with an error and
// leave an empty message behind.

#include <app/Message.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<char> Flat(const BMessage& message)
{
	std::vector<char> flat;
	EXPECT_EQ(message.Flatten(&flat), B_OK);
	return flat;
}

BMessage Sample()
{
	BMessage message('samp');
	message.AddInt32("count", 3);
	message.AddString("name", "alpha");
	message.AddString("name", "beta");
	BMessage inner('innr');
	inner.AddInt64("size", 1 << 20);
	message.AddMessage("inner", &inner);
	return message;
}

// Unflattens into a message that had content, and checks that a failure
// left it empty.
status_t UnflattenExpectingEmptyOnError(const std::vector<char>& bytes)
{
	BMessage message('full');
	message.AddString("old", "content");
	status_t status = message.Unflatten(bytes.data(), bytes.size());
	if (status != B_OK) {
		EXPECT_TRUE(message.IsEmpty());
		EXPECT_EQ(message.what, 0u);
	}
	return status;
}

void Put32(std::vector<char>& bytes, size_t offset, uint32 value)
{
	memcpy(bytes.data() + offset, &value, 4);
}

void Put64(std::vector<char>& bytes, size_t offset, uint64 value)
{
	memcpy(bytes.data() + offset, &value, 8);
}

// Offsets of the first field of Sample(): after the 24-byte header.
constexpr size_t kFirstField = 24;

}	// namespace

TEST(MessageUnflattenTest, EveryTruncationIsRefused)
{
	std::vector<char> flat = Flat(Sample());
	for (size_t length = 0; length < flat.size(); length++) {
		std::vector<char> cut(flat.begin(), flat.begin() + long(length));
		EXPECT_NE(UnflattenExpectingEmptyOnError(cut), B_OK) << "length " << length;
	}
	EXPECT_EQ(UnflattenExpectingEmptyOnError(flat), B_OK);
}

TEST(MessageUnflattenTest, HeaderLiesAreRefused)
{
	std::vector<char> good = Flat(Sample());

	std::vector<char> bytes = good;
	bytes[0] = 'X';
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "magic";

	bytes = good;
	bytes[4] = 2;
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "version";

	bytes = good;
	bytes[6] = 0x40;
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "unknown flag";

	bytes = good;
	Put32(bytes, 12, 4);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "one field too many";

	bytes = good;
	Put32(bytes, 12, 0xffffffff);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "absurd field count";

	bytes = good;
	Put32(bytes, 12, 2);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "one field too few";

	bytes = good;
	Put64(bytes, 16, good.size() + 1);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "size past the end";

	bytes = good;
	Put64(bytes, 16, uint64(1) << 62);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_MESSAGE_TOO_BIG) << "huge size";

	bytes = good;
	Put64(bytes, 16, 10);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "size below the header";

	// Bytes after the message are not part of it.
	bytes = good;
	bytes.push_back('!');
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_OK);
}

TEST(MessageUnflattenTest, FieldLiesAreRefused)
{
	std::vector<char> good = Flat(Sample());
	// The first field is "count": type, count, item size, name length.

	std::vector<char> bytes = good;
	Put32(bytes, kFirstField + 4, 0);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "zero items";

	bytes = good;
	Put32(bytes, kFirstField + 4, 0x7fffffff);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "huge item count";

	bytes = good;
	Put32(bytes, kFirstField + 4, 0x80000000);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "negative item count";

	bytes = good;
	Put32(bytes, kFirstField + 8, 8);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "int32 of 8 bytes";

	bytes = good;
	bytes[kFirstField + 12] = 0;
	bytes[kFirstField + 13] = 0;
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "empty name";

	bytes = good;
	bytes[kFirstField + 12] = char(0xff);
	bytes[kFirstField + 13] = char(0xff);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "name past the end";

	bytes = good;
	bytes[kFirstField + 14] = '\0';
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "NUL inside the name";
}

TEST(MessageUnflattenTest, VariableItemLiesAreRefused)
{
	BMessage message;
	message.AddString("s", "abc");
	std::vector<char> good = Flat(message);
	size_t sizes = kFirstField + 14 + 1;       // after the field header and "s"
	size_t item = sizes + 4;

	std::vector<char> bytes = good;
	bytes[item + 3] = 'd';
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "string without NUL";

	bytes = good;
	Put32(bytes, sizes, 0);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "empty string item";

	bytes = good;
	Put32(bytes, sizes, 0xffffffff);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "item past the end";

	bytes = good;
	Put32(bytes, kFirstField + 8, 4);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "string stored as fixed";

	// Two fields of one name would make lookups ambiguous.
	BMessage twice;
	twice.AddInt32("a", 1);
	twice.AddInt32("b", 2);
	bytes = Flat(twice);
	size_t second = kFirstField + 14 + 1 + 4;
	bytes[second + 14] = 'a';
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "duplicate name";
}

TEST(MessageUnflattenTest, BrokenOrTooDeepNestingIsRefused)
{
	BMessage inner('innr');
	inner.AddString("x", "y");
	BMessage outer('outr');
	outer.AddMessage("inner", &inner);
	std::vector<char> good = Flat(outer);
	// The nested message's own magic sits after the outer field header,
	// the name and the item size.
	size_t nested = kFirstField + 14 + 5 + 4;
	ASSERT_EQ(good[nested], 'M');

	std::vector<char> bytes = good;
	bytes[nested + 1] = '?';
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "nested magic";

	bytes = good;
	Put64(bytes, nested + 16, 24);
	EXPECT_EQ(UnflattenExpectingEmptyOnError(bytes), B_BAD_DATA) << "nested size lie";

	// Build a chain one level deeper than allowed by hand: each level is a
	// header plus one field holding the next level.
	std::vector<char> chain = Flat(BMessage('leaf'));
	for (int32 level = 0; level <= B_MESSAGE_MAX_NESTING; level++) {
		std::vector<char> parent(24);
		memcpy(parent.data(), "MVMG", 4);
		parent[4] = 1;
		Put32(parent, 8, 'node');
		Put32(parent, 12, 1);
		std::vector<char> field(14);
		Put32(field, 0, B_MESSAGE_TYPE);
		Put32(field, 4, 1);
		Put32(field, 8, 0);
		field[12] = 1;
		field.push_back('c');
		uint32 size = uint32(chain.size());
		field.insert(field.end(), reinterpret_cast<char*>(&size),
			reinterpret_cast<char*>(&size) + 4);
		field.insert(field.end(), chain.begin(), chain.end());
		parent.insert(parent.end(), field.begin(), field.end());
		Put64(parent, 16, parent.size());
		chain = parent;
		if (level == B_MESSAGE_MAX_NESTING - 1) {
			EXPECT_EQ(UnflattenExpectingEmptyOnError(chain), B_OK);
		}
	}
	EXPECT_EQ(UnflattenExpectingEmptyOnError(chain), B_BAD_DATA) << "too deep";
}

TEST(MessageUnflattenTest, StreamsThatEndEarlyOrLie)
{
	std::vector<char> good = Flat(Sample());
	BMemoryIO shortStream(static_cast<const void*>(good.data()), good.size() - 1);
	BMessage message('full');
	EXPECT_EQ(message.Unflatten(&shortStream), B_BAD_DATA);
	EXPECT_TRUE(message.IsEmpty());

	// A header promising a gigabyte is read only as far as bytes arrive.
	std::vector<char> liar(good.begin(), good.begin() + 24);
	Put64(liar, 16, (uint64(1) << 30) - 1);
	liar.resize(4096, 'x');
	BMemoryIO liarStream(static_cast<const void*>(liar.data()), liar.size());
	EXPECT_EQ(message.Unflatten(&liarStream), B_BAD_DATA);

	BMemoryIO empty(static_cast<const void*>(good.data()), 0);
	EXPECT_EQ(message.Unflatten(&empty), B_BAD_DATA);
	EXPECT_EQ(message.Unflatten(static_cast<const char*>(nullptr), 10), B_BAD_VALUE);
}
