#pragma once

// Reading the Linux mount table into volumes; used by VolumeTable only.

#include <string>
#include <vector>

#include <storage/VolumeTable.h>

namespace MorvaneKit {

// Reads a mountinfo file (normally /proc/self/mountinfo) into volumes in
// table order with the boot volume first, names made unique and ids not yet
// set. labelFolder holds the /dev/disk/by-label style links that name the
// boot volume. When the file cannot be read, volumes gets a boot volume at
// "/" alone and the error is returned.
status_t ReadMountTable(const char* mountInfoPath, const char* labelFolder,
	std::vector<VolumeTable::Volume>* volumes);

// Unmounts the file system mounted at folder; the error of umount2(2).
status_t Unmount(const std::string& folder);

}	// namespace MorvaneKit
