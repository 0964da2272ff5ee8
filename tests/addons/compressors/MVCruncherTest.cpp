// The compressor objects: their settings message, names, archives and the
// data paths of the pass-through and LZRW1 compressors.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "Lzrw1TestData.h"
#include "MVLZRW1.h"
#include "MVNone.h"

namespace {

int32 CountOf(const BMessage& message, const char* name)
{
	type_code type;
	int32 count = 0;
	if (message.GetInfo(name, &type, &count) != B_OK)
		return 0;
	return count;
}

}	// namespace

// The name lives in the settings as "MVCRUNAME": absent until set, replaced
// rather than added again, and copied only as far as the buffer reaches.
TEST(MVCruncherTest, Name)
{
	MVLZRW1 cruncher;
	EXPECT_EQ(cruncher.Name(), nullptr);
	char buffer[16];
	memset(buffer, 'x', sizeof(buffer));
	cruncher.GetName(buffer, sizeof(buffer));
	EXPECT_STREQ(buffer, "");

	cruncher.SetName("first");
	cruncher.SetName("Fast compression");
	EXPECT_STREQ(cruncher.Name(), "Fast compression");
	BMessage settings;
	cruncher.GetPref(&settings);
	EXPECT_EQ(CountOf(settings, "MVCRUNAME"), 1);

	char small[5];
	cruncher.GetName(small, sizeof(small));
	EXPECT_STREQ(small, "Fast");

	// Settings from a job may carry the key with another type.
	BMessage odd;
	odd.AddInt32("MVCRUNAME", 7);
	cruncher.SetPref(odd);
	EXPECT_EQ(cruncher.Name(), nullptr);
	cruncher.SetName("again");
	EXPECT_STREQ(cruncher.Name(), "again");
}

// SetPref replaces all settings with a copy; GetPref empties its target
// first; SetWinPos keeps a single frame.
TEST(MVCruncherTest, SettingsMessage)
{
	MVNone cruncher;
	BMessage settings;
	settings.AddString("MVCRUNAME", "job name");
	settings.AddInt32("level", 3);
	cruncher.SetPref(settings);
	settings.AddInt32("later", 1);

	BMessage out;
	out.AddString("stale", "value");
	cruncher.GetPref(&out);
	EXPECT_FALSE(out.HasData("stale", B_STRING_TYPE));
	EXPECT_FALSE(out.HasData("later", B_INT32_TYPE));
	EXPECT_EQ(out.GetInt32("level", 0), 3);
	EXPECT_STREQ(cruncher.Name(), "job name");

	cruncher.SetPref(BMessage());
	cruncher.GetPref(&out);
	EXPECT_TRUE(out.IsEmpty());

	cruncher.SetWinPos(BRect(20, 20, 420, 195));
	cruncher.SetWinPos(BRect(30, 40, 430, 215));
	cruncher.GetPref(&out);
	EXPECT_EQ(CountOf(out, "winpos"), 1);
	BRect frame;
	ASSERT_EQ(out.FindRect("winpos", &frame), B_OK);
	EXPECT_EQ(frame, BRect(30, 40, 430, 215));
}

// An archive names the base class and then the class itself, with the window
// frame (invalid when none was stored); each class instantiates only from an
// archive that names it, with empty settings.
TEST(MVCruncherTest, ArchiveAndInstantiate)
{
	MVNone none;
	none.SetName("named");
	BMessage archive;
	ASSERT_EQ(none.Archive(&archive), B_OK);
	EXPECT_STREQ(archive.GetString("class", 0, nullptr), "MVCruncher");
	EXPECT_STREQ(archive.GetString("class", 1, nullptr), "MVNone");
	BRect frame(1, 1, 1, 1);
	ASSERT_EQ(archive.FindRect("winpos", &frame), B_OK);
	EXPECT_FALSE(frame.IsValid());

	std::unique_ptr<MVCruncher> copy(MVNone::Instantiate(&archive));
	ASSERT_NE(copy, nullptr);
	EXPECT_STREQ(copy->MenuName(), "None");
	EXPECT_EQ(copy->Name(), nullptr);
	EXPECT_EQ(MVLZRW1::Instantiate(&archive), nullptr);
	// The base reads any archive of a derived class as its own.
	std::unique_ptr<MVCruncher> base(MVCruncher::Instantiate(&archive));
	ASSERT_NE(base, nullptr);
	EXPECT_EQ(base->MenuName(), nullptr);

	MVLZRW1 lzrw1;
	lzrw1.SetWinPos(BRect(5, 6, 300, 200));
	BMessage lzrw1Archive;
	ASSERT_EQ(lzrw1.Archive(&lzrw1Archive), B_OK);
	EXPECT_STREQ(lzrw1Archive.GetString("class", 1, nullptr), "MVLZRW1");
	ASSERT_EQ(lzrw1Archive.FindRect("winpos", &frame), B_OK);
	EXPECT_EQ(frame, BRect(5, 6, 300, 200));
	copy.reset(MVLZRW1::Instantiate(&lzrw1Archive));
	ASSERT_NE(copy, nullptr);
	EXPECT_STREQ(copy->MenuName(), "LZRW1");
	BMessage settings;
	copy->GetPref(&settings);
	EXPECT_TRUE(settings.IsEmpty());
	EXPECT_EQ(MVNone::Instantiate(&lzrw1Archive), nullptr);

	BMessage foreign;
	foreign.AddString("class", "MVImage");
	EXPECT_EQ(MVCruncher::Instantiate(&foreign), nullptr);
	EXPECT_EQ(MVCruncher::Instantiate(nullptr), nullptr);
	EXPECT_EQ(none.Archive(nullptr), B_BAD_VALUE);
}

// The menu names, cut to the buffer; the base has none and writes nothing.
TEST(MVCruncherTest, MenuNames)
{
	char buffer[8] = "keep";
	MVCruncher base;
	EXPECT_EQ(base.MenuName(), nullptr);
	base.GetMenuName(buffer, sizeof(buffer));
	EXPECT_STREQ(buffer, "keep");

	MVNone none;
	none.GetMenuName(buffer, sizeof(buffer));
	EXPECT_STREQ(buffer, "None");
	MVLZRW1 lzrw1;
	lzrw1.GetMenuName(buffer, sizeof(buffer));
	EXPECT_STREQ(buffer, "LZRW1");
	lzrw1.GetMenuName(buffer, 3);
	EXPECT_STREQ(buffer, "LZ");
}

// The pass-through compressor returns its input unchanged and writes nothing
// for an empty block; a packed length beyond a block is refused.
TEST(MVCruncherTest, PassThrough)
{
	MVNone none;
	Bytes input = MakeBlock(BlockKind::Binary, 1000);
	GuardedBuffer packed(input.size() + 1);
	ASSERT_EQ(none.Compress(input.data(), packed.Data(), uint32(input.size())), 1000u);
	EXPECT_EQ(packed.Prefix(1000), input);

	GuardedBuffer empty(0);
	EXPECT_EQ(none.Compress(input.data(), empty.Data(), 0), 0u);
	EXPECT_EQ(none.Decompress(input.data(), empty.Data(), 0), 0u);
	EXPECT_TRUE(empty.GuardIntact());

	GuardedBuffer restored(kCruncherDestinationSize);
	EXPECT_EQ(none.Decompress(packed.Data(), restored.Data(), 1000), 1000u);
	EXPECT_EQ(restored.Prefix(1000), input);
	Bytes huge(kCruncherDestinationSize + 1);
	EXPECT_EQ(none.Decompress(huge.data(), restored.Data(), uint32(huge.size())),
		kCruncherBadData);
	EXPECT_TRUE(restored.GuardIntact());
}

// Through the MVCruncher interface, LZRW1 blocks round-trip and a damaged
// block yields kCruncherBadData instead of a length.
TEST(MVCruncherTest, Lzrw1Blocks)
{
	std::unique_ptr<MVCruncher> cruncher(new MVLZRW1());
	for (BlockKind kind : {BlockKind::Text, BlockKind::Random}) {
		Bytes input = MakeBlock(kind, kCruncherMaxBlockLength);
		GuardedBuffer packed(input.size() + 1);
		uint32 length = cruncher->Compress(input.data(), packed.Data(), uint32(input.size()));
		ASSERT_TRUE(packed.GuardIntact());
		GuardedBuffer restored(kCruncherDestinationSize);
		ASSERT_EQ(cruncher->Decompress(packed.Data(), restored.Data(), length), input.size());
		EXPECT_EQ(restored.Prefix(input.size()), input);
	}
	Bytes damaged = HexBytes("40 80 00 00 10");
	GuardedBuffer restored(kCruncherDestinationSize);
	EXPECT_EQ(cruncher->Decompress(damaged.data(), restored.Data(), uint32(damaged.size())),
		kCruncherBadData);
}

// The reply of the settings window: "result" true applies its settings,
// false leaves them as they were.
TEST(MVCruncherTest, SettingsWindowReply)
{
	MVNone none;
	none.SetName("before");

	BMessage settings;
	settings.AddString("MVCRUNAME", "after");
	settings.AddRect("winpos", BRect(1, 2, 401, 177));
	BMessage cancelled(kCruncherSettingsReply);
	cancelled.AddBool("result", false);
	cancelled.AddMessage("settings", &settings);
	none.MessageReceived(&cancelled);
	EXPECT_STREQ(none.Name(), "before");

	BMessage accepted(kCruncherSettingsReply);
	accepted.AddBool("result", true);
	accepted.AddMessage("settings", &settings);
	none.MessageReceived(&accepted);
	EXPECT_STREQ(none.Name(), "after");
	BMessage current;
	none.GetPref(&current);
	BRect frame;
	ASSERT_EQ(current.FindRect("winpos", &frame), B_OK);
	EXPECT_EQ(frame, BRect(1, 2, 401, 177));
}
