#pragma once

// Job-settings files: a tool's settings saved by the user, recognised by the
// eight-byte magic they begin with.

#include <support/SupportDefs.h>

namespace JobSettingsFile {

constexpr const char* kBackupMagic = "MVBAKJOB";
constexpr const char* kRestoreMagic = "MVRESJOB";
constexpr const char* kCompareMagic = "MVCMPJOB";
constexpr size_t kMagicLength = 8;

// The command of the tool that opens the file (native path), or 0 when the
// file cannot be read or is of no known kind. Only the magic is read.
uint32 ToolFor(const char* nativePath);
// The same for the first bytes of such a file.
uint32 ToolForMagic(const void* data, size_t size);

}	// namespace JobSettingsFile
