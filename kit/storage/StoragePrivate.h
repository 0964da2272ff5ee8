#pragma once

// Path helpers shared by the storage kit's classes.

#include <string>

#include <storage/VolumeTable.h>

namespace MorvaneKit {

// Symbolic links followed before giving up with B_LINK_LIMIT, as the kernel.
constexpr int kMaxLinkHops = 40;

// path when it is absolute, else path taken relative to the system path base.
status_t JoinSystemPath(const char* base, const char* path, std::string* joined);

// The native folder above a native path ("/" for "/x").
std::string NativeParent(const std::string& native);

// Locates a system path whose folder must exist; with traverse, a final
// symbolic link is followed to the entry it names.
status_t LocateEntry(const char* path, bool traverse, VolumeTable::Location* location);

// Follows symbolic links from location until it names something else.
status_t FollowLinks(VolumeTable::Location* location);

// The text of the link at native.
status_t ReadLinkText(const std::string& native, std::string* text);

// Checks a leaf name given for a new entry: not empty, no '/', not "." or "..".
bool IsUsableLeafName(const char* name);

}	// namespace MorvaneKit

namespace MorvaneKit {

// The B_FS_* flags of a volume.
uint32 VolumeFlags(const VolumeTable::Volume& volume);

}	// namespace MorvaneKit
