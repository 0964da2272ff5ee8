#include <storage/VolumeTable.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <kernel/fs_index.h>
#include <kernel/fs_info.h>
#include <storage/AtomicFileWriter.h>
#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/File.h>
#include <storage/Volume.h>
#include <storage/VolumeRoster.h>
#include <support/TypeConstants.h>

#include "StorageTestSupport.h"

namespace {

std::string Native(const char* path)
{
	std::string native;
	status_t status = VolumeTable::ToNative(path, &native);
	return status == B_OK ? native : "error " + std::to_string(status);
}


std::string System(const std::string& native)
{
	std::string path;
	status_t status = VolumeTable::ToSystem(native.c_str(), &path);
	return status == B_OK ? path : "error " + std::to_string(status);
}

}	// namespace


// System paths map to the volume folders and back, with the boot volume
// reachable under both names and its paths coming back as "/boot/...".
TEST_F(VolumeTest, TranslatesBothWays)
{
	EXPECT_EQ(Native("/boot/a/b"), Boot("a/b"));
	EXPECT_EQ(Native("/Test HD/a/b"), Boot("a/b"));
	EXPECT_EQ(Native("/data"), fFolder / "data");
	EXPECT_EQ(Native("//data/./x//y/../z/"), Data("x/z"));

	EXPECT_EQ(System(Boot("a/b")), "/boot/a/b");
	EXPECT_EQ(System(fFolder / "hd"), "/boot");
	EXPECT_EQ(System(Data("x/../y")), "/data/y");

	VolumeTable::Location location;
	ASSERT_EQ(VolumeTable::Locate("/Test HD/x", &location), B_OK);
	EXPECT_EQ(location.path, "/Test HD/x");
	EXPECT_EQ(location.canonicalPath, "/boot/x");
	EXPECT_EQ(location.device, VolumeTable::BootDevice());
}


// Paths that leave their volume, name none or are not absolute are refused.
TEST_F(VolumeTest, RefusesEscapesAndUnknownVolumes)
{
	std::string native;
	EXPECT_EQ(VolumeTable::ToNative("/data/..", &native), B_BAD_VALUE);
	EXPECT_EQ(VolumeTable::ToNative("/data/x/../../boot/y", &native), B_BAD_VALUE);
	EXPECT_EQ(VolumeTable::ToNative("/..", &native), B_BAD_VALUE);
	EXPECT_EQ(VolumeTable::ToNative("data/x", &native), B_BAD_VALUE);
	EXPECT_EQ(VolumeTable::ToNative("", &native), B_BAD_VALUE);
	EXPECT_EQ(VolumeTable::ToNative("/nowhere/x", &native), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(VolumeTable::ToNative("/", &native), B_BAD_VALUE);
	EXPECT_EQ(VolumeTable::ToNative(("/data/" + std::string(300, 'n')).c_str(), &native),
		B_NAME_TOO_LONG);

	std::string path;
	EXPECT_EQ(VolumeTable::ToSystem(fFolder.Path().c_str(), &path), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(VolumeTable::ToSystem((fFolder / "hd2/x").c_str(), &path), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(VolumeTable::ToSystem("relative", &path), B_BAD_VALUE);
}


// A folder inside another volume's folder wins for the paths below it.
TEST(VolumeTableTest, NativePathsGoToTheLongestMatchingFolder)
{
	TestFolder folder;
	folder.MakeFolder("outer/inner");
	ScopedVolumes volumes("outer=" + folder / "outer" + ";inner=" + folder / "outer/inner");
	EXPECT_EQ(System(folder / "outer/inner/x"), "/inner/x");
	EXPECT_EQ(System(folder / "outer/innerx"), "/boot/innerx");
}


// Unusable entries of MORVANE_VOLUMES are skipped; the rest still work.
TEST(VolumeTableTest, SkipsBadEntries)
{
	TestFolder folder;
	folder.MakeFolder("a");
	folder.MakeFolder("b");
	std::string good = "good=" + folder / "a";
	ScopedVolumes volumes(";;noequals;boot=" + folder / "b" + ";=" + folder / "b"
		+ ";missing=" + folder / "none" + ";relative=a;sizebad=" + folder / "b"
		+ ",size=12x;opt=" + folder / "b" + ",bogus;" + good + ";good=" + folder / "b"
		+ ";sla/sh=" + folder / "b");
	EXPECT_EQ(VolumeTable::CountVolumes(), 1);
	EXPECT_EQ(Native("/good/x"), folder / "a/x");
	EXPECT_EQ(Native("/boot/x"), folder / "a/x");
}


// Options of an entry are reported by BVolume and fs_stat_dev; a fixed size
// has free bytes that fall as files are written.
TEST(VolumeTableTest, ReportsOptionsAndFixedSize)
{
	TestFolder folder;
	folder.MakeFolder("hd");
	folder.MakeFolder("stick");
	ScopedVolumes volumes("hd=" + folder / "hd" + ",noattr;stick=" + folder / "stick"
		+ ",ro,removable,size=100000");

	BVolume withoutAttributes(dev_t(dev_for_path("/hd/x")));
	ASSERT_EQ(withoutAttributes.InitCheck(), B_OK);
	EXPECT_FALSE(withoutAttributes.KnowsAttr());
	EXPECT_FALSE(withoutAttributes.IsReadOnly());
	BVolume stick(dev_t(dev_for_path("/stick/x")));
	ASSERT_EQ(stick.InitCheck(), B_OK);
	EXPECT_TRUE(stick.IsReadOnly());
	EXPECT_TRUE(stick.IsRemovable());
	EXPECT_TRUE(stick.IsPersistent());
	EXPECT_FALSE(stick.IsShared());
	EXPECT_TRUE(stick.KnowsAttr());
	EXPECT_FALSE(stick.KnowsQuery());
	EXPECT_EQ(stick.Capacity(), 100000);
	EXPECT_EQ(stick.FreeBytes(), 100000);
	char name[B_FILE_NAME_LENGTH];
	ASSERT_EQ(stick.GetName(name), B_OK);
	EXPECT_STREQ(name, "stick");
	BDirectory root;
	ASSERT_EQ(stick.GetRootDirectory(&root), B_OK);
	EXPECT_STREQ(root.Path(), "/stick");

	folder.WriteFile("stick/a", std::string(30000, 'a'));
	folder.WriteFile("stick/sub/b", std::string(50000, 'b'));
	EXPECT_EQ(stick.FreeBytes(), 20000);
	folder.WriteFile("stick/c", std::string(40000, 'c'));
	EXPECT_EQ(stick.FreeBytes(), 0);

	fs_info info;
	ASSERT_EQ(fs_stat_dev(stick.Device(), &info), B_OK);
	EXPECT_EQ(info.dev, stick.Device());
	EXPECT_STREQ(info.volume_name, "stick");
	EXPECT_EQ(info.flags & (B_FS_IS_READONLY | B_FS_IS_REMOVABLE | B_FS_HAS_ATTR),
		uint32(B_FS_IS_READONLY | B_FS_IS_REMOVABLE | B_FS_HAS_ATTR));
	EXPECT_EQ(info.flags & B_FS_HAS_QUERY, 0u);
	EXPECT_EQ(info.block_size, 1);
	EXPECT_EQ(info.total_blocks, 100000);

	BVolume hd;
	BVolumeRoster roster;
	ASSERT_EQ(roster.GetBootVolume(&hd), B_OK);
	EXPECT_FALSE(hd.IsReadOnly());
	EXPECT_FALSE(hd.IsRemovable());
	EXPECT_GT(hd.Capacity(), 0);
	EXPECT_FALSE(hd == stick);
}

// With a block size the volume counts as a file system does: each file takes
// whole blocks, and the free bytes are whole blocks.
TEST(VolumeTableTest, BlocksRoundFilesAndFreeSpace)
{
	TestFolder folder;
	folder.MakeFolder("hd");
	folder.MakeFolder("card");
	ScopedVolumes volumes("hd=" + folder / "hd" + ";card=" + folder / "card"
		+ ",removable,size=10000,block=1024");
	BVolume card(dev_t(dev_for_path("/card/x")));
	ASSERT_EQ(card.InitCheck(), B_OK);
	EXPECT_EQ(card.BlockSize(), 1024);
	// 10000 bytes hold 9 whole blocks.
	EXPECT_EQ(card.FreeBytes(), 9216);
	folder.WriteFile("card/one", "1");
	EXPECT_EQ(card.FreeBytes(), 8192);
	folder.WriteFile("card/full", std::string(1024, 'f'));
	EXPECT_EQ(card.FreeBytes(), 7168);
	folder.WriteFile("card/over", std::string(1025, 'o'));
	EXPECT_EQ(card.FreeBytes(), 5120);
	folder.WriteFile("card/empty", "");
	EXPECT_EQ(card.FreeBytes(), 5120);

	for (const char* bad : {",block=0", ",block=x", ",block="}) {
		ScopedVolumes refused("hd=" + folder / "hd" + ";bad=" + folder / "card" + bad);
		EXPECT_LT(dev_for_path("/bad/x"), 0) << bad;
	}
}


// A read-only volume refuses every change below it.
TEST(VolumeTableTest, ReadOnlyVolumeRefusesChanges)
{
	TestFolder folder;
	folder.MakeFolder("hd");
	folder.WriteFile("cd/file", "old");
	ScopedVolumes volumes("hd=" + folder / "hd" + ";cd=" + folder / "cd" + ",ro");

	BFile file("/cd/file", B_READ_ONLY);
	ASSERT_EQ(file.InitCheck(), B_OK);
	EXPECT_EQ(file.WriteAttr("note", B_STRING_TYPE, 0, "x", 1), B_READ_ONLY_DEVICE);
	EXPECT_EQ(file.SetPermissions(0600), B_READ_ONLY_DEVICE);
	EXPECT_EQ(BFile("/cd/file", B_READ_WRITE).InitCheck(), B_READ_ONLY_DEVICE);
	EXPECT_EQ(BFile("/cd/new", B_WRITE_ONLY | B_CREATE_FILE).InitCheck(),
		B_READ_ONLY_DEVICE);
	BEntry entry("/cd/file");
	EXPECT_EQ(entry.Remove(), B_READ_ONLY_DEVICE);
	EXPECT_EQ(entry.Rename("other"), B_READ_ONLY_DEVICE);
	BDirectory root("/cd");
	EXPECT_EQ(root.CreateDirectory("sub", nullptr), B_READ_ONLY_DEVICE);
	EXPECT_EQ(create_directory("/cd/a/b", 0755), B_READ_ONLY_DEVICE);
	EXPECT_EQ(AtomicFileWriter::WriteFile("/cd/file", "new", 3), B_READ_ONLY_DEVICE);
	EXPECT_EQ(ReadWholeFile(folder / "cd/file"), "old");
}


// Volume ids count from 1 in table order; the root lies on no volume.
TEST_F(VolumeTest, DeviceCalls)
{
	int32 cookie = 0;
	EXPECT_EQ(next_dev(&cookie), 1);
	EXPECT_EQ(next_dev(&cookie), 2);
	EXPECT_EQ(next_dev(&cookie), B_BAD_VALUE);
	EXPECT_EQ(dev_for_path("/boot/x"), 1);
	EXPECT_EQ(dev_for_path("/data"), 2);
	EXPECT_EQ(dev_for_path("/"), B_BAD_VALUE);
	EXPECT_EQ(dev_for_path("/nowhere"), B_ENTRY_NOT_FOUND);

	fs_info info;
	EXPECT_EQ(fs_stat_dev(3, &info), B_BAD_VALUE);
	EXPECT_EQ(fs_create_index(1, "MAIL:from", B_STRING_TYPE, 0), B_OK);
	index_info index;
	EXPECT_EQ(fs_stat_index(1, "MAIL:from", &index), B_OK);
	EXPECT_EQ(index.type, 0u);
	EXPECT_EQ(fs_remove_index(1, "MAIL:from"), B_OK);
	EXPECT_EQ(fs_create_index(9, "x", B_STRING_TYPE, 0), B_BAD_VALUE);

	BVolumeRoster roster;
	BVolume volume;
	int count = 0;
	while (roster.GetNextVolume(&volume) == B_OK)
		count++;
	EXPECT_EQ(count, 2);
}


// The mount table: pseudo file systems and kernel folders left out, the
// root named by its label, names made unique, escapes decoded, later mounts
// on one point replacing earlier ones.
TEST(VolumeTableTest, ReadsMountInfo)
{
	TestFolder folder;
	folder.MakeFolder("labels");
	std::string disk = folder.WriteFile("disk", "");
	ASSERT_EQ(symlink(disk.c_str(), (folder / "labels/My\\x20Disk").c_str()), 0);
	ASSERT_EQ(symlink("/dev/null", (folder / "labels/Other").c_str()), 0);
	std::string mountInfo =
		"22 27 0:21 / /proc rw,relatime - proc proc rw\n"
		"23 27 0:22 / /sys rw - sysfs sysfs rw\n"
		"24 27 0:6 / /dev rw - devtmpfs devtmpfs rw\n"
		"27 1 254:0 / / rw,relatime - ext4 " + disk + " rw\n"
		"31 27 0:28 / /run/user/1000 rw shared:5 - tmpfs tmpfs rw\n"
		"32 27 8:17 / /media/usb\\040stick ro,nosuid - vfat /dev/sdb1 rw\n"
		"33 27 0:40 / /mnt/disk rw - nfs server:/export rw\n"
		"34 27 8:33 / /mnt/other/disk rw - ext4 /dev/sdc1 rw\n"
		"35 27 0:41 / /mnt/cg rw - cgroup2 cgroup2 rw\n"
		"36 27 0:42 / /run/user/1000 rw - ext4 /dev/sdd1 rw\n"
		"garbage line\n"
		"37 27 x:y / /bad rw - ext4 /dev/sde rw\n";
	std::string mountPath = folder.WriteFile("mountinfo", mountInfo);

	struct Restore {
		~Restore() { (void)VolumeTable::Reload(); }
	} restore;
	ASSERT_EQ(VolumeTable::ReloadFromMountInfo(mountPath.c_str(), (folder / "labels").c_str()),
		B_OK);
	std::vector<VolumeTable::Volume> volumes;
	int32 cookie = 0;
	VolumeTable::Volume volume;
	while (VolumeTable::GetNextVolume(&cookie, &volume) == B_OK)
		volumes.push_back(volume);
	ASSERT_EQ(volumes.size(), 5u);
	EXPECT_EQ(volumes[0].name, "My Disk");
	EXPECT_EQ(volumes[0].folder, "/");
	EXPECT_EQ(volumes[1].name, "1000");
	EXPECT_EQ(volumes[1].fileSystem, "ext4");
	EXPECT_TRUE(volumes[1].persistent);
	EXPECT_EQ(volumes[2].name, "usb stick");
	EXPECT_TRUE(volumes[2].readOnly);
	EXPECT_FALSE(volumes[2].knowsAttributes);
	EXPECT_EQ(volumes[3].name, "disk");
	EXPECT_TRUE(volumes[3].shared);
	EXPECT_EQ(volumes[4].name, "disk 2");
	EXPECT_EQ(Native("/boot/etc"), "/etc");
	EXPECT_EQ(Native("/My Disk/etc"), "/etc");
	EXPECT_EQ(System("/mnt/other/disk/f"), "/disk 2/f");
	EXPECT_EQ(System("/usr/bin"), "/boot/usr/bin");

	// Without a label, or without a table at all, the boot volume keeps
	// the fixed name.
	ASSERT_EQ(VolumeTable::ReloadFromMountInfo(mountPath.c_str(), (folder / "none").c_str()),
		B_OK);
	ASSERT_EQ(VolumeTable::GetVolume(1, &volume), B_OK);
	EXPECT_EQ(volume.name, VolumeTable::kFallbackBootName);
	EXPECT_EQ(VolumeTable::ReloadFromMountInfo((folder / "none").c_str(),
		(folder / "none").c_str()), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(VolumeTable::CountVolumes(), 1);
	EXPECT_EQ(Native("/boot/etc"), "/etc");
}


// The root "/" lists "boot" and every volume, so that it can be browsed.
TEST_F(VolumeTest, RootListsVolumes)
{
	BDirectory root("/");
	ASSERT_EQ(root.InitCheck(), B_OK);
	EXPECT_TRUE(root.IsRootDirectory());
	EXPECT_EQ(root.CountEntries(), 3);
	std::vector<std::string> names;
	BEntry entry;
	while (root.GetNextEntry(&entry) == B_OK) {
		names.push_back(entry.Name());
		EXPECT_TRUE(entry.IsDirectory());
	}
	EXPECT_EQ(names, (std::vector<std::string>{ "boot", "Test HD", "data" }));
	EXPECT_EQ(root.CreateFile("x", nullptr), B_NOT_ALLOWED);
	BEntry rootEntry("/");
	EXPECT_TRUE(rootEntry.Exists());
	EXPECT_EQ(rootEntry.Remove(), B_NOT_ALLOWED);
	BEntry parent;
	EXPECT_EQ(rootEntry.GetParent(&parent), B_ENTRY_NOT_FOUND);
}
