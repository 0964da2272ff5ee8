// The destination base: its settings keys and archives.

#include "MVVolume.h"

#include <gtest/gtest.h>

#include <memory>

// Keys are replaced, never doubled; keys of the wrong type (a damaged
// settings file) read as absent and give way when set; GetName stays inside
// its buffer.
TEST(MVVolumeTest, SettingsKeys)
{
	MVVolume volume;
	char buffer[6] = "xxxxx";
	volume.GetName(buffer, sizeof(buffer));
	EXPECT_STREQ(buffer, "");

	BMessage damaged;
	damaged.AddInt32(kVolumeNameKey, 7);
	damaged.AddString(kVolumeOverwriteKey, "yes");
	volume.SetPref(damaged);
	EXPECT_EQ(volume.Name(), nullptr);
	EXPECT_FALSE(volume.IsOverwrite());

	volume.SetName("/Disk/first");
	volume.SetName("/Disk/backups");
	volume.SetOverwrite(true);
	volume.SetWinPos(BRect(1, 2, 3, 4));
	volume.SetWinPos(BRect(5, 6, 7, 8));
	EXPECT_STREQ(volume.Name(), "/Disk/backups");
	EXPECT_TRUE(volume.IsOverwrite());
	volume.GetName(buffer, sizeof(buffer));
	EXPECT_STREQ(buffer, "/Disk");

	BMessage settings;
	volume.GetPref(&settings);
	int32 count = 0;
	type_code type;
	ASSERT_EQ(settings.GetInfo(kVolumeNameKey, &type, &count), B_OK);
	EXPECT_EQ(count, 1);
	ASSERT_EQ(settings.GetInfo(kVolumeWindowFrameKey, &type, &count), B_OK);
	EXPECT_EQ(count, 1);
}


// An empty destination archives the defaults; a set one comes back whole
// through Instantiate, which refuses archives of other classes.
TEST(MVVolumeTest, ArchiveRoundTrip)
{
	MVVolume empty;
	BMessage archive;
	ASSERT_EQ(empty.Archive(&archive), B_OK);
	EXPECT_STREQ(archive.GetString(kArchiveClassKey), "MVVolume");
	EXPECT_STREQ(archive.GetString(kVolumeNameKey), "");
	EXPECT_FALSE(archive.GetBool(kVolumeOverwriteKey, true));
	EXPECT_FALSE(archive.GetBool(kVolumeRemovableKey, true));
	BRect frame(0, 0, 10, 10);
	ASSERT_EQ(archive.FindRect(kVolumeWindowFrameKey, &frame), B_OK);
	EXPECT_FALSE(frame.IsValid());

	MVVolume volume;
	volume.SetName("/Disk/backups");
	volume.SetOverwrite(true);
	volume.SetRemovable(true);
	volume.SetWinPos(BRect(20, 20, 420, 195));
	BMessage full;
	ASSERT_EQ(volume.Archive(&full), B_OK);
	std::unique_ptr<MVVolume> copy(MVVolume::Instantiate(&full));
	ASSERT_NE(copy, nullptr);
	BMessage again;
	ASSERT_EQ(copy->Archive(&again), B_OK);
	EXPECT_STREQ(again.GetString(kVolumeNameKey), "/Disk/backups");
	EXPECT_TRUE(again.GetBool(kVolumeOverwriteKey));
	EXPECT_TRUE(again.GetBool(kVolumeRemovableKey));
	ASSERT_EQ(again.FindRect(kVolumeWindowFrameKey, &frame), B_OK);
	EXPECT_EQ(frame, BRect(20, 20, 420, 195));

	BMessage other;
	other.AddString(kArchiveClassKey, "MVCruncher");
	EXPECT_EQ(MVVolume::Instantiate(&other), nullptr);
	EXPECT_EQ(MVVolume::Instantiate(nullptr), nullptr);
}
