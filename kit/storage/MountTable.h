#pragma once

// Reading the Linux mount table into volumes; used by VolumeTable only.

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

}	// namespace MorvaneKit
