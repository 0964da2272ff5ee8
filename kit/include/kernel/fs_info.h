#pragma once

// Volume information, by volume id.
//
// Volume ids (the dev_t values of this system) are small positive integers
// handed out by the VolumeTable, the boot volume being the first; they are
// not the st_dev of the file system. 0 never names a volume. An id stays
// valid until VolumeTable::Reload(), which numbers the volumes afresh.
//
// dev_t is unsigned on Linux, so the calls that return "a volume id or an
// error" return int32: a value > 0 is a volume id, a negative one a status.
// Check the sign before storing the result in a dev_t.

#include <sys/types.h>

#include <kernel/OS.h>
#include <storage/StorageDefs.h>
#include <support/Errors.h>

enum : uint32 {
	B_FS_IS_READONLY = 0x00000001,
	B_FS_IS_REMOVABLE = 0x00000002,
	B_FS_IS_PERSISTENT = 0x00000004,
	B_FS_IS_SHARED = 0x00000008,
	B_FS_HAS_MIME = 0x00010000,
	B_FS_HAS_ATTR = 0x00020000,
	B_FS_HAS_QUERY = 0x00040000,
};

struct fs_info {
	dev_t dev;              // the volume id
	ino_t root;             // the inode of the volume's root folder
	uint32 flags;
	off_t block_size;
	off_t io_size;          // the preferred transfer size
	off_t total_blocks;
	off_t free_blocks;
	off_t total_nodes;
	off_t free_nodes;
	char device_name[128];  // the mounted device; empty for a folder volume
	char volume_name[B_FILE_NAME_LENGTH];
	char fsh_name[B_OS_NAME_LENGTH];   // the file system type, e.g. "ext4"
};

// B_OK, or B_BAD_VALUE for an unknown volume id, or the error of statvfs.
[[nodiscard]] status_t fs_stat_dev(dev_t device, fs_info* info);
// The id of the volume that holds a system path ("/<volume>/..."), or
// B_BAD_VALUE / B_ENTRY_NOT_FOUND for a malformed path or an unknown volume.
// The root "/" lies on no volume.
[[nodiscard]] int32 dev_for_path(const char* path);
// The next volume id after *cookie (start with 0), or B_BAD_VALUE at the end.
[[nodiscard]] int32 next_dev(int32* cookie);
