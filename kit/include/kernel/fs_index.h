#pragma once

// Attribute indices. Linux file systems have none: creating an index
// succeeds and does nothing, its information reads type 0, and removing one
// succeeds. The calls still check that the device names a volume, so that
// callers see the same errors as for any other volume call.

#include <ctime>
#include <sys/types.h>

#include <support/Errors.h>
#include <support/SupportDefs.h>

struct index_info {
	uint32 type;    // always 0: no index exists
	off_t size;
	time_t modification_time;
	time_t creation_time;
	uid_t uid;
	gid_t gid;
};

// B_OK, or B_BAD_VALUE when device names no volume or name is empty.
[[nodiscard]] status_t fs_create_index(dev_t device, const char* name, uint32 type,
	uint32 flags);
[[nodiscard]] status_t fs_remove_index(dev_t device, const char* name);
// Fills info with type 0 and zeroes.
[[nodiscard]] status_t fs_stat_index(dev_t device, const char* name, index_info* info);
