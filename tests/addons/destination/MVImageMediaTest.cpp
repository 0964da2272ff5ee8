// The image destination on a removable drive: free space while a medium
// fills up, a full medium, ejecting it and going on with a new one.

#include "MVImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <kernel/fs_info.h>
#include <storage/Entry.h>
#include <storage/VolumeTable.h>

#include "DestinationTestSupport.h"

namespace {

class MVImageMediaTest : public DestinationTest {
protected:
	void SetUp() override
	{
		DestinationTest::SetUp();
		Target(&fImage, "/Media/backups", true);
		int32 device = dev_for_path("/Media");
		ASSERT_GT(device, 0);
		fMedia = dev_t(device);
	}

	MVImage fImage;
	dev_t fMedia = 0;
};

}	// namespace


// Free space falls with every block written; a block that no longer fits
// fails with B_DEVICE_FULL and leaves nothing of itself on the medium, while
// rewriting bytes already there needs no room.
TEST_F(MVImageMediaTest, FillingUpAMedium)
{
	EXPECT_TRUE(fImage.IsRemovable());
	EXPECT_EQ(fImage.GetCapacity(), kMediaSize);
	EXPECT_EQ(fImage.GetFreeSpace(), kMediaSize);

	const std::string block(3000, 'b');
	ASSERT_EQ(fImage.Start("2024010100000001", kVolumeModeWrite), kImageOK);
	for (int64 expectedFree : { 7000, 4000, 1000 }) {
		ASSERT_EQ(fImage.Write(block.data(), int64(block.size())), int64(block.size()));
		EXPECT_EQ(fImage.GetFreeSpace(), expectedFree);
	}
	EXPECT_EQ(fImage.Write(block.data(), int64(block.size())), B_DEVICE_FULL);
	EXPECT_EQ(fImage.GetFreeSpace(), 1000);
	EXPECT_EQ(fImage.Seek(0, kVolumeSeekFromStart), 0);
	EXPECT_EQ(fImage.Write(block.data(), int64(block.size())), int64(block.size()));
	EXPECT_EQ(fImage.Seek(9000, kVolumeSeekFromStart), 9000);
	EXPECT_EQ(fImage.Write(block.data(), 1000), 1000);
	EXPECT_EQ(fImage.GetFreeSpace(), 0);
	EXPECT_EQ(fImage.Write("x", 1), B_DEVICE_FULL);
	EXPECT_EQ(fImage.Stop(), kImageOK);
	EXPECT_EQ(ReadWholeFile(fFolder / "media/backups/2024010100000001")->size(), 10000u);
}


// A full medium is stopped and ejected; the drive is then empty until a new
// medium goes in, on which the backup goes on under the same name. The first
// medium keeps its part.
TEST_F(MVImageMediaTest, ChangingMedia)
{
	const std::string part(6000, '1');
	ASSERT_EQ(fImage.Start("2024010100000002", kVolumeModeWrite), kImageOK);
	ASSERT_EQ(fImage.Write(part.data(), int64(part.size())), int64(part.size()));
	EXPECT_EQ(fImage.Eject(), kImageEjectBusy);
	ASSERT_EQ(fImage.Stop(), kImageOK);
	mvvol_fib info = {};
	strcpy(info.name, "*");
	ASSERT_EQ(fImage.FindFirst(&info), kImageOK);
	ASSERT_EQ(fImage.Eject(), kImageOK);

	std::string firstMedium = fFolder / "media.medium-1";
	EXPECT_EQ(ReadWholeFile(firstMedium + "/backups/2024010100000002"), part);
	EXPECT_EQ(fImage.GetFreeSpace(), -1);
	EXPECT_EQ(fImage.GetCapacity(), -1);
	strcpy(info.name, "*");
	EXPECT_EQ(fImage.FindFirst(&info), kImageFindNoFolder);
	// Without a medium nothing is written, not even the target folder.
	EXPECT_EQ(fImage.Start("2024010100000002", kVolumeModeWrite), kImageCannotOpen);
	EXPECT_FALSE(BEntry("/Media/backups").Exists());
	EXPECT_EQ(fImage.Eject(), kImageEjectFailed);

	ASSERT_EQ(VolumeTable::InsertMedium(fMedia, nullptr), B_OK);
	EXPECT_EQ(fImage.GetFreeSpace(), kMediaSize);
	const std::string rest(2000, '2');
	EXPECT_EQ(WriteBackup(&fImage, "2024010100000002", rest), int64(rest.size()));
	EXPECT_EQ(fImage.GetFreeSpace(), kMediaSize - 2000);

	// The first medium, put back, still lists its part.
	ASSERT_EQ(fImage.Eject(), kImageOK);
	ASSERT_EQ(VolumeTable::InsertMedium(fMedia, firstMedium.c_str()), B_OK);
	strcpy(info.name, "2024010100000002");
	EXPECT_EQ(fImage.FindFirst(&info), kImageOK);
	EXPECT_EQ(fImage.GetFreeSpace(), kMediaSize - 6000);
}


// A fixed disk is never ejected, not even when declared removable (which
// lets the engines change media by hand).
TEST_F(MVImageMediaTest, FixedDisksStay)
{
	for (const char* folder : { "/Disk/backups", "/boot/backups" }) {
		SCOPED_TRACE(folder);
		MVImage disk;
		Target(&disk, folder, true);
		EXPECT_EQ(disk.Eject(), kImageEjectNotRemovable);
		disk.SetRemovable(true);
		EXPECT_EQ(disk.Eject(), kImageEjectFailed);
		EXPECT_EQ(WriteBackup(&disk, "still here", "x"), 1);
	}
}
