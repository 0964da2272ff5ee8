#pragma once

// Job-settings files: a tool's settings saved by the user, recognised by the
// eight-byte magic they begin with.

#include <string>

#include <support/SupportDefs.h>

class BMessage;

namespace JobSettingsFile {

constexpr const char* kBackupMagic = "MVBAKJOB";
constexpr const char* kRestoreMagic = "MVRESJOB";
constexpr const char* kCompareMagic = "MVCMPJOB";
constexpr size_t kMagicLength = 8;

// The file: a header of kHeaderSize bytes, the magic and zeros, then the
// tool's settings as one flattened message.
constexpr size_t kHeaderSize = 100;
// Larger files are no settings of ours.
constexpr size_t kMaxFileSize = 16 * 1024 * 1024;

// Writes the settings under the magic (system path), replacing the file as
// a whole, private to the user (a job's password may be in it).
status_t Write(const char* path, const char* magic, const BMessage& settings);
// Reads a file of that magic (system path). B_BAD_TYPE for a file of
// another kind, B_BAD_DATA for one whose header or body is broken.
status_t Read(const char* path, const char* magic, BMessage* settings);
// The same for the file's bytes.
status_t Parse(const void* data, size_t size, const char* magic, BMessage* settings);

// The command of the tool that opens the file (native path), or 0 when the
// file cannot be read or is of no known kind. Only the magic is read.
uint32 ToolFor(const char* nativePath);
// The same for the first bytes of such a file.
uint32 ToolForMagic(const void* data, size_t size);

}	// namespace JobSettingsFile
