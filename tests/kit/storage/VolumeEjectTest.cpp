// Ejecting removable volumes and putting new media into folder drives.

#include <storage/VolumeTable.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <kernel/fs_info.h>
#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/File.h>
#include <storage/Volume.h>

#include "StorageTestSupport.h"

namespace {

bool IsFolder(const std::string& path)
{
	struct stat status;
	return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}


// A boot volume and a removable drive "/Media" of 10000 bytes whose medium is
// fFolder/media.
class VolumeEjectTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fFolder.MakeFolder("hd");
		fFolder.WriteFile("media/backup", std::string(4000, 'x'));
		fVolumes.emplace("HD=" + fFolder / "hd" + ";Media=" + fFolder / "media"
			+ ",removable,size=10000");
		int32 device = dev_for_path("/Media");
		ASSERT_GT(device, 0);
		fMedia = dev_t(device);
	}

	off_t FreeBytes() const { return BVolume(fMedia).FreeBytes(); }

	TestFolder fFolder;
	std::optional<ScopedVolumes> fVolumes;
	dev_t fMedia = 0;
};

}	// namespace


// Ejecting moves the medium away whole; the drive stays in the table, even
// when it is read again, without space or entries until a medium goes in,
// blank or one ejected before.
TEST_F(VolumeEjectTest, EjectAndInsertMedia)
{
	EXPECT_EQ(FreeBytes(), 6000);

	std::string ejected;
	ASSERT_EQ(VolumeTable::Eject(fMedia, &ejected), B_OK);
	EXPECT_EQ(ejected, fFolder / "media.medium-1");
	EXPECT_EQ(ReadWholeFile(ejected + "/backup"), std::string(4000, 'x'));
	EXPECT_FALSE(IsFolder(fFolder / "media"));
	EXPECT_EQ(dev_for_path("/Media"), int32(fMedia));
	EXPECT_EQ(FreeBytes(), B_DEV_NOT_READY);
	EXPECT_FALSE(BEntry("/Media/backup").Exists());
	EXPECT_NE(BDirectory("/Media").InitCheck(), B_OK);
	EXPECT_EQ(VolumeTable::Eject(fMedia), B_DEV_NOT_READY);

	// An empty drive stays in the table when it is read again.
	ASSERT_EQ(VolumeTable::Reload(), B_OK);
	ASSERT_EQ(dev_for_path("/Media"), int32(fMedia));
	std::string file = fFolder.WriteFile("not a folder", "x");
	EXPECT_EQ(VolumeTable::InsertMedium(fMedia, file.c_str()), B_NOT_A_DIRECTORY);
	ASSERT_EQ(VolumeTable::InsertMedium(fMedia, nullptr), B_OK);
	EXPECT_EQ(FreeBytes(), 10000);
	EXPECT_EQ(BDirectory("/Media").CountEntries(), 0);
	EXPECT_EQ(VolumeTable::InsertMedium(fMedia, ejected.c_str()), B_BUSY);

	std::string blank;
	ASSERT_EQ(VolumeTable::Eject(fMedia, &blank), B_OK);
	EXPECT_EQ(blank, fFolder / "media.medium-2");
	ASSERT_EQ(VolumeTable::InsertMedium(fMedia, ejected.c_str()), B_OK);
	EXPECT_FALSE(IsFolder(ejected));
	EXPECT_TRUE(BEntry("/Media/backup").Exists());
	EXPECT_EQ(FreeBytes(), 6000);
}


// Only removable volumes other than the boot volume can be ejected; nothing
// is moved or unmounted otherwise.
TEST(VolumeEjectRefusalTest, FixedBootAndUnknownVolumes)
{
	TestFolder folder;
	folder.MakeFolder("hd");
	folder.MakeFolder("fixed");
	ScopedVolumes volumes("HD=" + folder / "hd" + ",removable;Fixed=" + folder / "fixed");
	EXPECT_EQ(VolumeTable::Eject(VolumeTable::BootDevice()), B_NOT_ALLOWED);
	EXPECT_TRUE(IsFolder(folder / "hd"));
	EXPECT_EQ(VolumeTable::Eject(2), B_NOT_ALLOWED);
	EXPECT_EQ(VolumeTable::InsertMedium(2, nullptr), B_NOT_ALLOWED);
	EXPECT_TRUE(IsFolder(folder / "fixed"));
	EXPECT_EQ(VolumeTable::Eject(99), B_BAD_VALUE);

	// A fixed disk of the mount table.
	std::string mountInfo = folder.WriteFile("mountinfo",
		"22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
		"23 22 8:2 / " + folder.MakeFolder("data") + " rw,relatime - ext4 /dev/sda2 rw\n");
	ASSERT_EQ(VolumeTable::ReloadFromMountInfo(mountInfo.c_str(),
		folder.MakeFolder("labels").c_str()), B_OK);
	VolumeTable::Volume data;
	ASSERT_EQ(VolumeTable::GetVolume(2, &data), B_OK);
	ASSERT_FALSE(data.removable);
	EXPECT_EQ(VolumeTable::Eject(2), B_NOT_ALLOWED);
	EXPECT_EQ(VolumeTable::CountVolumes(), 2);
}
