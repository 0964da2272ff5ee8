#pragma once

// The names and paths an entry of a backup may have. Backups and catalogues
// are untrusted: a name that could climb out of its folder or name another
// entry is refused wherever one is read. Stateless; any thread.

#include <string_view>

// One path component: non-empty, without "/", neither "." nor "..".
bool IsSafeEntryName(std::string_view name);
// The same for a name that may be missing (null is not safe).
bool IsSafeEntryName(const char* name);
// An absolute path of one or more components, each a safe entry name; null
// is not safe.
bool IsSafeEntryPath(const char* path);
