#include "RestoreFolderFinisher.h"

#include <storage/Node.h>

#include "RestoreEntryCreator.h"
#include "RestorePathGuard.h"

void RestoreFolderFinisher::Note(const std::string& path, const FileHeaderStat& stat)
{
	fPending.push_back({path, stat});
}

void RestoreFolderFinisher::FinishAll(RestorePathGuard* guard)
{
	for (auto pending = fPending.rbegin(); pending != fPending.rend(); ++pending) {
		if (guard != nullptr && guard->CheckTarget(pending->path, nullptr, true) != B_OK)
			continue;
		BNode node(pending->path.c_str());
		if (node.InitCheck() != B_OK || !node.IsDirectory())
			continue;
		RestoreEntryCreator::ApplyPermissions(&node, pending->stat);
		RestoreEntryCreator::ApplyTimes(&node, pending->stat);
	}
	fPending.clear();
}
