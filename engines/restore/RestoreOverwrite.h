#pragma once

// What a restore does with an entry that is already where an item goes: the
// job's overwrite mode, the decision it leads to, and the renaming of the
// existing entry out of the way. Plain functions; any thread.

#include <ctime>
#include <string>

#include <storage/Directory.h>
#include <support/Errors.h>
#include <support/SupportDefs.h>

enum class OverwriteMode : int32 {
	No = 0,
	OlderOnly = 1,
	Rename = 2,
	Yes = 3,
};

enum class OverwriteAction {
	Skip,
	Replace,
	RenameExisting,
};

// The job's "overwrite" value; anything outside 0 to 3 acts as No.
OverwriteMode OverwriteModeFrom(int32 value);

// OlderOnly replaces only an entry modified before reference (the item's
// modification time in the backup).
OverwriteAction DecideOverwrite(OverwriteMode mode, time_t existingModified, time_t reference);

// Renames the entry leaf of the folder to the first free "<leaf>.<n>", n
// counting from 1, never replacing anything. B_OK with the new name in
// *renamed; B_FILE_EXISTS when every number is taken; else the rename's
// error.
[[nodiscard]] status_t RenameExistingAside(const BDirectory& folder, const std::string& leaf,
	std::string* renamed);
