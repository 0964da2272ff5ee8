#include "RestoreFolderFinisher.h"

#include "RestoreEntryCreator.h"
#include "RestoreTargetFolders.h"

void RestoreFolderFinisher::Note(const std::string& target, const char* redirection,
	const FileHeaderStat& stat)
{
	Pending pending{target, std::nullopt, stat};
	if (redirection != nullptr)
		pending.redirection = redirection;
	fPending.push_back(std::move(pending));
}

void RestoreFolderFinisher::FinishAll(RestoreTargetFolders* folders)
{
	for (auto pending = fPending.rbegin(); pending != fPending.rend(); ++pending) {
		BDirectory* folder;
		const char* redirection = pending->redirection ? pending->redirection->c_str() : nullptr;
		if (folders->OpenFolder(pending->target, redirection, false, &folder) != B_OK)
			continue;
		RestoreEntryCreator::ApplyPermissions(folder, pending->stat);
		RestoreEntryCreator::ApplyTimes(folder, pending->stat);
	}
	fPending.clear();
}
