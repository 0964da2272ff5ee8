#include <app/Message.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include <app/Looper.h>
#include <storage/EntryRef.h>

namespace {

BMessage RoundTrip(const BMessage& message)
{
	std::vector<char> flat;
	EXPECT_EQ(message.Flatten(&flat), B_OK);
	EXPECT_EQ(ssize_t(flat.size()), message.FlattenedSize());
	BMessage copy;
	EXPECT_EQ(copy.Unflatten(flat.data(), flat.size()), B_OK);
	return copy;
}

}	// namespace

// Every value type survives a flatten and unflatten unchanged, extremes included.
TEST(MessageTest, EveryTypeRoundTrips)
{
	BMessage message('MVJA');
	entry_ref ref("/boot/home/a file");
	BMessenger messenger = BMessenger::FromParts(1234, 56, 78);
	ASSERT_EQ(message.AddBool("bool", true), B_OK);
	ASSERT_EQ(message.AddInt8("int8", -128), B_OK);
	ASSERT_EQ(message.AddUInt8("uint8", 255), B_OK);
	ASSERT_EQ(message.AddInt16("int16", -32768), B_OK);
	ASSERT_EQ(message.AddUInt16("uint16", 65535), B_OK);
	ASSERT_EQ(message.AddInt32("int32", std::numeric_limits<int32>::min()), B_OK);
	ASSERT_EQ(message.AddUInt32("uint32", 0xfedcba98u), B_OK);
	ASSERT_EQ(message.AddInt64("int64", std::numeric_limits<int64>::min()), B_OK);
	ASSERT_EQ(message.AddUInt64("uint64", 0xfedcba9876543210ull), B_OK);
	ASSERT_EQ(message.AddFloat("float", -1.5f), B_OK);
	ASSERT_EQ(message.AddDouble("double", std::nan("")), B_OK);
	ASSERT_EQ(message.AddString("string", "Grüße\twith tab"), B_OK);
	ASSERT_EQ(message.AddString("empty", ""), B_OK);
	ASSERT_EQ(message.AddRect("rect", BRect(1.5f, 2, 300, 400.25f)), B_OK);
	ASSERT_EQ(message.AddPoint("point", BPoint(-3, 4)), B_OK);
	ASSERT_EQ(message.AddPointer("pointer", &message), B_OK);
	ASSERT_EQ(message.AddMessenger("messenger", messenger), B_OK);
	ASSERT_EQ(message.AddRef("ref", &ref), B_OK);
	ASSERT_EQ(message.AddTime("TIME", 1700000000), B_OK);
	const char raw[] = {0, 1, 2, 0, char(0xff)};
	ASSERT_EQ(message.AddData("raw", 'MYTY', raw, sizeof(raw)), B_OK);
	ASSERT_EQ(message.AddData("noraw", B_RAW_TYPE, nullptr, 0), B_OK);

	BMessage copy = RoundTrip(message);
	EXPECT_EQ(copy.what, uint32('MVJA'));
	EXPECT_EQ(copy.CountNames(B_ANY_TYPE), message.CountNames(B_ANY_TYPE));
	EXPECT_TRUE(copy.GetBool("bool"));
	int8 i8; uint8 u8; int16 i16; uint16 u16; uint32 u32; int64 i64; uint64 u64;
	float f; double d; BRect rect; BPoint point; void* pointer; BMessenger foundMessenger;
	entry_ref foundRef; int32 seconds;
	ASSERT_EQ(copy.FindInt8("int8", &i8), B_OK);
	EXPECT_EQ(i8, -128);
	ASSERT_EQ(copy.FindUInt8("uint8", &u8), B_OK);
	EXPECT_EQ(u8, 255);
	ASSERT_EQ(copy.FindInt16("int16", &i16), B_OK);
	EXPECT_EQ(i16, -32768);
	ASSERT_EQ(copy.FindUInt16("uint16", &u16), B_OK);
	EXPECT_EQ(u16, 65535);
	EXPECT_EQ(copy.GetInt32("int32", 0), std::numeric_limits<int32>::min());
	ASSERT_EQ(copy.FindUInt32("uint32", &u32), B_OK);
	EXPECT_EQ(u32, 0xfedcba98u);
	ASSERT_EQ(copy.FindInt64("int64", &i64), B_OK);
	EXPECT_EQ(i64, std::numeric_limits<int64>::min());
	ASSERT_EQ(copy.FindUInt64("uint64", &u64), B_OK);
	EXPECT_EQ(u64, 0xfedcba9876543210ull);
	ASSERT_EQ(copy.FindFloat("float", &f), B_OK);
	EXPECT_EQ(f, -1.5f);
	ASSERT_EQ(copy.FindDouble("double", &d), B_OK);
	EXPECT_TRUE(std::isnan(d));
	EXPECT_STREQ(copy.GetString("string"), "Grüße\twith tab");
	EXPECT_STREQ(copy.GetString("empty", "default"), "");
	ASSERT_EQ(copy.FindRect("rect", &rect), B_OK);
	EXPECT_EQ(rect, BRect(1.5f, 2, 300, 400.25f));
	ASSERT_EQ(copy.FindPoint("point", &point), B_OK);
	EXPECT_EQ(point, BPoint(-3, 4));
	ASSERT_EQ(copy.FindPointer("pointer", &pointer), B_OK);
	EXPECT_EQ(pointer, &message);
	ASSERT_EQ(copy.FindMessenger("messenger", &foundMessenger), B_OK);
	EXPECT_EQ(foundMessenger, messenger);
	ASSERT_EQ(copy.FindRef("ref", &foundRef), B_OK);
	EXPECT_EQ(foundRef, ref);
	EXPECT_STREQ(foundRef.name(), "a file");
	ASSERT_EQ(copy.FindTime("TIME", &seconds), B_OK);
	EXPECT_EQ(seconds, 1700000000);
	const void* data;
	ssize_t size;
	ASSERT_EQ(copy.FindData("raw", 'MYTY', &data, &size), B_OK);
	ASSERT_EQ(size, ssize_t(sizeof(raw)));
	EXPECT_EQ(memcmp(data, raw, sizeof(raw)), 0);
	ASSERT_EQ(copy.FindData("noraw", B_RAW_TYPE, &data, &size), B_OK);
	EXPECT_EQ(size, 0);
}

// Arrays keep their order through add, replace, remove and flattening.
TEST(MessageTest, ArraysAddReplaceRemove)
{
	BMessage message;
	for (int32 i = 0; i < 5; i++) {
		ASSERT_EQ(message.AddInt32("n", i * 10), B_OK);
		ASSERT_EQ(message.AddString("s", std::string(size_t(i), 'x')), B_OK);
	}
	ASSERT_EQ(message.ReplaceInt32("n", 2, 99), B_OK);
	ASSERT_EQ(message.ReplaceString("s", 1, "a much longer replacement"), B_OK);
	ASSERT_EQ(message.RemoveData("s", 3), B_OK);
	ASSERT_EQ(message.RemoveData("n", 0), B_OK);

	BMessage copy = RoundTrip(message);
	type_code type;
	int32 count;
	ASSERT_EQ(copy.GetInfo("n", &type, &count), B_OK);
	EXPECT_EQ(type, B_INT32_TYPE);
	EXPECT_EQ(count, 4);
	EXPECT_EQ(copy.GetInt32("n", 0, -1), 10);
	EXPECT_EQ(copy.GetInt32("n", 1, -1), 99);
	EXPECT_EQ(copy.GetInt32("n", 3, -1), 40);
	ASSERT_EQ(copy.GetInfo("s", &type, &count), B_OK);
	EXPECT_EQ(count, 4);
	EXPECT_STREQ(copy.GetString("s", 0, "?"), "");
	EXPECT_STREQ(copy.GetString("s", 1, "?"), "a much longer replacement");
	EXPECT_STREQ(copy.GetString("s", 2, "?"), "xx");
	EXPECT_STREQ(copy.GetString("s", 3, "?"), "xxxx");

	// Removing the last value removes the name.
	for (int32 i = 0; i < 4; i++)
		ASSERT_EQ(copy.RemoveData("s", 0), B_OK);
	EXPECT_EQ(copy.GetInfo("s", &type, &count), B_NAME_NOT_FOUND);
	EXPECT_EQ(count, 0);
	EXPECT_EQ(copy.RemoveName("n"), B_OK);
	EXPECT_TRUE(copy.IsEmpty());
}

// Lookups fail with the right status for a missing name, another type or an index past the end.
TEST(MessageTest, FindAndChangeErrors)
{
	BMessage message;
	ASSERT_EQ(message.AddInt32("n", 1), B_OK);
	int32 value = 7;
	EXPECT_EQ(message.FindInt32("missing", &value), B_NAME_NOT_FOUND);
	EXPECT_EQ(message.FindInt32("n", 1, &value), B_BAD_INDEX);
	EXPECT_EQ(message.FindInt32("n", -1, &value), B_BAD_INDEX);
	const char* text;
	EXPECT_EQ(message.FindString("n", &text), B_BAD_TYPE);
	EXPECT_EQ(value, 7);
	EXPECT_EQ(message.AddString("n", "x"), B_BAD_TYPE);
	EXPECT_EQ(message.ReplaceInt32("n", 1, 5), B_BAD_INDEX);
	EXPECT_EQ(message.ReplaceInt32("missing", 5), B_NAME_NOT_FOUND);
	EXPECT_EQ(message.RemoveData("n", 4), B_BAD_INDEX);
	EXPECT_EQ(message.RemoveName("missing"), B_NAME_NOT_FOUND);
	EXPECT_EQ(message.AddInt32("", 1), B_BAD_VALUE);
	EXPECT_EQ(message.AddInt32(std::string(256, 'n').c_str(), 1), B_BAD_VALUE);
	EXPECT_EQ(message.AddInt32(std::string(255, 'n').c_str(), 1), B_OK);
	EXPECT_EQ(message.AddString("s", static_cast<const char*>(nullptr)), B_BAD_VALUE);
	// A known type must have its own size, a fixed-size field keeps its size.
	int64 wide = 0;
	EXPECT_EQ(message.AddData("n", B_INT32_TYPE, &wide, 8), B_BAD_VALUE);
	EXPECT_EQ(message.AddData("raw", 'RAW1', &wide, 8), B_OK);
	EXPECT_EQ(message.AddData("raw", 'RAW1', &wide, 4), B_BAD_VALUE);
	EXPECT_EQ(message.AddData("var", 'RAW2', &wide, 8, false), B_OK);
	EXPECT_EQ(message.AddData("var", 'RAW2', &wide, 3, false), B_OK);
	// Strings must carry their terminator.
	EXPECT_EQ(message.AddData("str", B_STRING_TYPE, "abc", 3), B_BAD_VALUE);
	EXPECT_EQ(message.AddData("str", B_STRING_TYPE, "abc", 4), B_OK);
	EXPECT_EQ(message.GetInt32("missing", 42), 42);
	EXPECT_STREQ(message.GetString("n", "dflt"), "dflt");
}

// A message keeps the first value it failed to store: it is refused by
// Flatten and by every send, copies carry the failure, MakeEmpty clears it,
// and failed finds and removals of what is not there do not count.
TEST(MessageTest, AFailedBuildKeepsTheMessageIn)
{
	BMessage message('test');
	ASSERT_EQ(message.AddInt32("n", 1), B_OK);
	int32 value;
	EXPECT_EQ(message.FindInt32("missing", &value), B_NAME_NOT_FOUND);
	EXPECT_EQ(message.RemoveName("missing"), B_NAME_NOT_FOUND);
	EXPECT_EQ(message.InitCheck(), B_OK);

	const std::pair<const char*, std::function<status_t(BMessage&)>> failures[] = {
		{"add of another type", [](BMessage& m) { return m.AddString("n", "x"); }},
		{"replace of nothing", [](BMessage& m) { return m.ReplaceInt32("missing", 5); }},
		{"replace past the end", [](BMessage& m) { return m.ReplaceInt32("n", 3, 5); }},
		{"set of another type", [](BMessage& m) { return m.SetString("n", "x"); }},
		{"add of a null string", [](BMessage& m) {
			return m.AddString("s", static_cast<const char*>(nullptr));
		}},
	};
	BLooper* target = new BLooper("build target");
	ASSERT_GE(target->Run(), 0);
	BMessenger messenger(target);
	for (const auto& [what, fail] : failures) {
		SCOPED_TRACE(what);
		BMessage built(message);
		status_t status = fail(built);
		ASSERT_NE(status, B_OK);
		// Later successes do not hide the first failure.
		EXPECT_EQ(built.AddInt32("later", 2), B_OK);
		EXPECT_EQ(built.InitCheck(), status);
		std::vector<char> flat;
		EXPECT_EQ(built.Flatten(&flat), status);
		EXPECT_EQ(built.FlattenedSize(), status);
		BMessage copy(built);
		EXPECT_EQ(copy.InitCheck(), status);
		BMessage holder;
		EXPECT_NE(holder.AddMessage("nested", &built), B_OK);
		EXPECT_NE(holder.InitCheck(), B_OK);
		EXPECT_EQ(messenger.SendMessage(&built), status);
		EXPECT_EQ(built.MakeEmpty(), B_OK);
		EXPECT_EQ(built.InitCheck(), B_OK);
		EXPECT_EQ(built.Flatten(&flat), B_OK);
		EXPECT_EQ(messenger.SendMessage(&built), B_OK);
	}
	ASSERT_TRUE(messenger.LockTarget());
	target->Quit();
}

// Names are listed in the order they were first added, filtered by type.
TEST(MessageTest, IteratesNamesInOrder)
{
	BMessage message;
	ASSERT_EQ(message.AddString("first", "a"), B_OK);
	ASSERT_EQ(message.AddInt32("second", 1), B_OK);
	ASSERT_EQ(message.AddString("third", "b"), B_OK);
	ASSERT_EQ(message.AddString("third", "c"), B_OK);

	const char* name;
	type_code type;
	int32 count;
	ASSERT_EQ(message.GetInfo(B_ANY_TYPE, 1, &name, &type, &count), B_OK);
	EXPECT_STREQ(name, "second");
	EXPECT_EQ(type, B_INT32_TYPE);
	ASSERT_EQ(message.GetInfo(B_STRING_TYPE, 1, &name, &type, &count), B_OK);
	EXPECT_STREQ(name, "third");
	EXPECT_EQ(count, 2);
	EXPECT_EQ(message.GetInfo(B_STRING_TYPE, 2, &name, &type, &count), B_BAD_INDEX);
	EXPECT_EQ(message.GetInfo(B_RECT_TYPE, 0, &name, &type, &count), B_BAD_TYPE);
	EXPECT_EQ(message.CountNames(B_STRING_TYPE), 2);
	EXPECT_EQ(message.CountNames(B_ANY_TYPE), 3);
	EXPECT_EQ(message.Rename("first", "third"), B_NAME_IN_USE);
	EXPECT_EQ(message.Rename("first", "renamed"), B_OK);
	ASSERT_EQ(message.GetInfo(B_ANY_TYPE, 0, &name, &type, &count), B_OK);
	EXPECT_STREQ(name, "renamed");
}

// Nested messages keep their content at any depth up to the limit, and copies are independent.
TEST(MessageTest, NestedMessagesAndCopies)
{
	BMessage inner('innr');
	ASSERT_EQ(inner.AddString("path", "/boot/home"), B_OK);
	BMessage outer('outr');
	ASSERT_EQ(outer.AddMessage("job", &inner), B_OK);
	ASSERT_EQ(inner.AddString("path", "/boot/more"), B_OK);
	ASSERT_EQ(outer.AddMessage("job", &inner), B_OK);

	BMessage copy(outer);
	ASSERT_EQ(outer.ReplaceString("nothing", "x"), B_NAME_NOT_FOUND);
	ASSERT_EQ(outer.AddInt32("only in outer", 1), B_OK);
	EXPECT_FALSE(copy.HasData("only in outer", B_INT32_TYPE));

	BMessage found;
	ASSERT_EQ(copy.FindMessage("job", 1, &found), B_OK);
	EXPECT_EQ(found.what, uint32('innr'));
	EXPECT_STREQ(found.GetString("path", 1, ""), "/boot/more");
	BMessage assigned;
	assigned = copy;
	ASSERT_EQ(RoundTrip(assigned).FindMessage("job", 0, &found), B_OK);
	EXPECT_STREQ(found.GetString("path", 0, ""), "/boot/home");

	// The deepest allowed nesting still reads back; one more level is refused.
	BMessage deep('leaf');
	for (int32 level = 0; level < B_MESSAGE_MAX_NESTING; level++) {
		BMessage parent('node');
		ASSERT_EQ(parent.AddMessage("child", &deep), B_OK) << level;
		deep = parent;
	}
	BMessage deepCopy = RoundTrip(deep);
	EXPECT_EQ(deepCopy.what, uint32('node'));
	BMessage tooDeep('node');
	EXPECT_EQ(tooDeep.AddMessage("child", &deep), B_BAD_VALUE);
}

// Large fields and many names round-trip, through memory and through a stream.
TEST(MessageTest, LargeMessagesThroughStreams)
{
	BMessage message('big ');
	std::string blob(3 * 1024 * 1024 + 7, '\0');
	for (size_t i = 0; i < blob.size(); i++)
		blob[i] = char(i * 7919 % 251);
	ASSERT_EQ(message.AddData("blob", B_RAW_TYPE, blob.data(), ssize_t(blob.size())), B_OK);
	for (int32 i = 0; i < 2000; i++)
		ASSERT_EQ(message.AddInt64(("name" + std::to_string(i)).c_str(), i), B_OK);

	BMallocIO stream;
	ssize_t written = 0;
	ASSERT_EQ(message.Flatten(&stream, &written), B_OK);
	EXPECT_EQ(written, message.FlattenedSize());
	BMessage second('2nd ');
	ASSERT_EQ(second.Flatten(&stream), B_OK);

	stream.Seek(0, SEEK_SET);
	BMessage first;
	ASSERT_EQ(first.Unflatten(&stream), B_OK);
	BMessage next;
	ASSERT_EQ(next.Unflatten(&stream), B_OK);
	EXPECT_EQ(next.what, uint32('2nd '));
	const void* data;
	ssize_t size;
	ASSERT_EQ(first.FindData("blob", B_RAW_TYPE, &data, &size), B_OK);
	ASSERT_EQ(size, ssize_t(blob.size()));
	EXPECT_EQ(memcmp(data, blob.data(), blob.size()), 0);
	EXPECT_EQ(first.GetInt64("name1999", -1), 1999);

	std::vector<char> buffer(size_t(message.FlattenedSize()));
	EXPECT_EQ(message.Flatten(buffer.data(), ssize_t(buffer.size()) - 1), B_BUFFER_OVERFLOW);
	EXPECT_EQ(message.Flatten(buffer.data(), ssize_t(buffer.size())), B_OK);
}

// Set* replaces the first value or adds it; Replace* of a string may change its length.
TEST(MessageTest, SetReplacesOrAdds)
{
	BMessage message;
	ASSERT_EQ(message.SetInt32("status", 1), B_OK);
	ASSERT_EQ(message.SetInt32("status", 2), B_OK);
	ASSERT_EQ(message.SetString("title", "short"), B_OK);
	ASSERT_EQ(message.SetString("title", "a longer title"), B_OK);
	BMessage nested('nest');
	ASSERT_EQ(message.SetMessage("settings", &nested), B_OK);
	nested.what = 'new ';
	ASSERT_EQ(message.SetMessage("settings", &nested), B_OK);
	int32 count;
	type_code type;
	ASSERT_EQ(message.GetInfo("status", &type, &count), B_OK);
	EXPECT_EQ(count, 1);
	EXPECT_EQ(message.GetInt32("status", 0), 2);
	EXPECT_STREQ(message.GetString("title"), "a longer title");
	BMessage found;
	ASSERT_EQ(message.FindMessage("settings", &found), B_OK);
	EXPECT_EQ(found.what, uint32('new '));
	EXPECT_EQ(message.SetInt32("title", 3), B_BAD_TYPE);
}
