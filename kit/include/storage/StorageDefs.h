#pragma once

// Limits, open modes and node flavors of the storage kit.
//
// Paths handed to the storage kit are in the system's form, "/<volume>/..."
// (see VolumeTable). B_PATH_NAME_LENGTH is the size of a path buffer for the
// calls that fill one; the kit itself keeps paths in std::string and takes
// longer ones where the file system does.

#include <support/SupportDefs.h>

constexpr size_t B_FILE_NAME_LENGTH = 256;   // a leaf name with its NUL
constexpr size_t B_PATH_NAME_LENGTH = 1024;
constexpr size_t B_ATTR_NAME_LENGTH = 256;   // an attribute name with its NUL
constexpr size_t B_MIME_TYPE_LENGTH = 256;

// Open modes of BFile. The access mode is one of the first three; the flags
// add to it. The values are the kit's own; BFile maps them to open(2) flags.
enum : uint32 {
	B_READ_ONLY = 0x0000,
	B_WRITE_ONLY = 0x0001,
	B_READ_WRITE = 0x0002,
	B_ACCESS_MODE_MASK = 0x0003,

	B_FAIL_IF_EXISTS = 0x0100,   // with B_CREATE_FILE: fail on an existing entry
	B_CREATE_FILE = 0x0200,
	B_ERASE_FILE = 0x0400,       // truncate to zero on opening
	B_OPEN_AT_END = 0x0800,      // every write appends
};

// Node flavors, for BDirectory::Contains.
enum : int32 {
	B_FILE_NODE = 0x01,
	B_SYMLINK_NODE = 0x02,
	B_DIRECTORY_NODE = 0x04,
	B_ANY_NODE = 0x07,
};
