#include <storage/Statable.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <storage/Entry.h>
#include <storage/Node.h>
#include <storage/Volume.h>

#include "StorageTestSupport.h"

// Times, permissions and owners set through a node or an entry read back
// through the other and through the kernel.
TEST_F(VolumeTest, StatSettersRoundTrip)
{
	fFolder.WriteFile("hd/file", "12345");
	BNode node("/boot/file");
	BEntry entry("/boot/file");
	ASSERT_EQ(node.InitCheck(), B_OK);

	ASSERT_EQ(node.SetModificationTime(1000000000), B_OK);
	ASSERT_EQ(entry.SetAccessTime(1100000000), B_OK);
	time_t time = 0;
	ASSERT_EQ(entry.GetModificationTime(&time), B_OK);
	EXPECT_EQ(time, 1000000000);
	ASSERT_EQ(node.GetAccessTime(&time), B_OK);
	EXPECT_EQ(time, 1100000000);
	ASSERT_EQ(entry.SetModificationAndAccessTime(1200000000, 1300000000), B_OK);
	ASSERT_EQ(node.GetModificationTime(&time), B_OK);
	EXPECT_EQ(time, 1200000000);
	ASSERT_EQ(entry.GetAccessTime(&time), B_OK);
	EXPECT_EQ(time, 1300000000);
	ASSERT_EQ(node.SetModificationTime(1000000000), B_OK);

	ASSERT_EQ(entry.SetPermissions(0640), B_OK);
	mode_t permissions = 0;
	ASSERT_EQ(node.GetPermissions(&permissions), B_OK);
	EXPECT_EQ(permissions, mode_t(0640));
	ASSERT_EQ(node.SetPermissions(04751), B_OK);
	struct stat native;
	ASSERT_EQ(stat(Boot("file").c_str(), &native), 0);
	EXPECT_EQ(native.st_mode & 07777, mode_t(04751));
	EXPECT_EQ(native.st_mtime, 1000000000);

	off_t size = 0;
	ASSERT_EQ(node.GetSize(&size), B_OK);
	EXPECT_EQ(size, 5);

	// Creation time cannot be set on Linux, and saying so is honest.
	ASSERT_EQ(node.GetCreationTime(&time), B_OK);
	EXPECT_GT(time, 0);
	EXPECT_EQ(node.SetCreationTime(1000), B_NOT_SUPPORTED);

	uid_t owner;
	gid_t group;
	ASSERT_EQ(entry.GetOwner(&owner), B_OK);
	ASSERT_EQ(entry.GetGroup(&group), B_OK);
	EXPECT_EQ(owner, native.st_uid);
	EXPECT_EQ(group, native.st_gid);
	if (geteuid() == 0) {
		ASSERT_EQ(node.SetOwner(4321), B_OK);
		ASSERT_EQ(entry.SetGroup(8765), B_OK);
		ASSERT_EQ(stat(Boot("file").c_str(), &native), 0);
		EXPECT_EQ(native.st_uid, uid_t(4321));
		EXPECT_EQ(native.st_gid, gid_t(8765));
	}
}


// The device of a stat and a node_ref is the volume id, and the entry of a
// link reports the link, not its target.
TEST_F(VolumeTest, StatReportsVolumeIdsAndLinksThemselves)
{
	fFolder.WriteFile("data/file", "x");
	ASSERT_EQ(symlink("file", Data("link").c_str()), 0);
	BEntry link("/data/link");
	struct stat status;
	ASSERT_EQ(link.GetStat(&status), B_OK);
	EXPECT_TRUE(S_ISLNK(status.st_mode));
	EXPECT_EQ(status.st_dev, dev_t(2));
	EXPECT_TRUE(link.IsSymLink());
	EXPECT_FALSE(link.IsFile());

	BNode node("/data/file");
	node_ref ref;
	ASSERT_EQ(node.GetNodeRef(&ref), B_OK);
	struct stat native;
	ASSERT_EQ(stat(Data("file").c_str(), &native), 0);
	EXPECT_EQ(ref, node_ref(2, native.st_ino));
	BVolume volume;
	ASSERT_EQ(node.GetVolume(&volume), B_OK);
	EXPECT_EQ(volume.Device(), dev_t(2));

	// Times of the link itself can be set; its permissions cannot.
	ASSERT_EQ(link.SetModificationTime(900000000), B_OK);
	struct stat linkStatus;
	ASSERT_EQ(lstat(Data("link").c_str(), &linkStatus), 0);
	EXPECT_EQ(linkStatus.st_mtime, 900000000);
	ASSERT_EQ(stat(Data("file").c_str(), &native), 0);
	EXPECT_NE(native.st_mtime, 900000000);
	EXPECT_EQ(link.SetPermissions(0600), B_NOT_SUPPORTED);

	BEntry missing("/data/missing");
	EXPECT_EQ(missing.GetStat(&status), B_ENTRY_NOT_FOUND);
	BNode unset;
	EXPECT_EQ(unset.GetStat(&status), B_NO_INIT);
}

// A folder with another file system mounted on it is a mount point; an
// ordinary folder, a file and a missing entry are not.
TEST(MountPointTest, FoldersOfAnotherFileSystem)
{
	TestFolder folder;
	folder.MakeFolder("sub");
	folder.WriteFile("file", "x");
	// The machine's own table: every Linux system mounts /proc.
	ScopedEnv volumes("MORVANE_VOLUMES", "");
	unsetenv("MORVANE_VOLUMES");
	ASSERT_EQ(VolumeTable::Reload(), B_OK);
	EXPECT_TRUE(BEntry("/boot/proc").IsMountPoint());
	std::string path;
	ASSERT_EQ(VolumeTable::ToSystem((folder / "sub").c_str(), &path), B_OK);
	EXPECT_FALSE(BEntry(path.c_str()).IsMountPoint());
	ASSERT_EQ(VolumeTable::ToSystem((folder / "file").c_str(), &path), B_OK);
	EXPECT_FALSE(BEntry(path.c_str()).IsMountPoint());
	EXPECT_FALSE(BEntry("/boot/no such folder here").IsMountPoint());
}
