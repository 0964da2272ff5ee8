#include "RestoreOverwrite.h"

#include <storage/Entry.h>

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

status_t RenameExistingAside(const std::string& path, std::string* renamed)
{
	BEntry existing(path.c_str());
	if (existing.InitCheck() != B_OK)
		return existing.InitCheck();
	size_t slash = path.rfind('/');
	std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
	std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
	for (int32 number = 1; number <= kLastRenameNumber; number++) {
		std::string newName = leaf + "." + std::to_string(number);
		status_t status = existing.Rename(newName.c_str(), false);
		if (status == B_FILE_EXISTS)
			continue;
		if (status == B_OK)
			*renamed = folder + newName;
		return status;
	}
	return B_FILE_EXISTS;
}
