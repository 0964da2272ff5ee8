#include "RestoreOverwrite.h"

namespace {

// The counter of the renamed names is a 16-bit signed number.
constexpr int32 kLastRenameNumber = 32767;

}	// namespace

OverwriteMode OverwriteModeFrom(int32 value)
{
	if (value < int32(OverwriteMode::No) || value > int32(OverwriteMode::Yes))
		return OverwriteMode::No;
	return OverwriteMode(value);
}

OverwriteAction DecideOverwrite(OverwriteMode mode, time_t existingModified, time_t reference)
{
	switch (mode) {
		case OverwriteMode::Yes:
			return OverwriteAction::Replace;
		case OverwriteMode::Rename:
			return OverwriteAction::RenameExisting;
		case OverwriteMode::OlderOnly:
			return difftime(existingModified, reference) < 0
				? OverwriteAction::Replace : OverwriteAction::Skip;
		case OverwriteMode::No:
			break;
	}
	return OverwriteAction::Skip;
}

status_t RenameExistingAside(const BDirectory& folder, const std::string& leaf,
	std::string* renamed)
{
	for (int32 number = 1; number <= kLastRenameNumber; number++) {
		std::string newName = leaf + "." + std::to_string(number);
		status_t status = folder.RenameAt(leaf.c_str(), newName.c_str());
		if (status == B_FILE_EXISTS)
			continue;
		if (status == B_OK)
			*renamed = newName;
		return status;
	}
	return B_FILE_EXISTS;
}
