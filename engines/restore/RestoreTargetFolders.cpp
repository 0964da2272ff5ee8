#include "RestoreTargetFolders.h"

#include "EntryName.h"

namespace {

constexpr mode_t kNewFolderMode = 0777;

std::string WithoutTrailingSlashes(std::string path)
{
	while (path.size() > 1 && path.back() == '/')
		path.pop_back();
	return path;
}

bool Covers(const std::string& folder, const std::string& path)
{
	return path.compare(0, folder.size(), folder) == 0
		&& (path.size() == folder.size() || path[folder.size()] == '/' || folder == "/");
}

}	// namespace

void RestoreTargetFolders::AddRedirectionRoot(const char* path)
{
	if (path != nullptr && path[0] == '/')
		fRoots.push_back(WithoutTrailingSlashes(path));
}

status_t RestoreTargetFolders::OpenParent(const std::string& target, const char* redirection,
	BDirectory** parent, std::string* leaf)
{
	std::string start;
	Components components;
	status_t status = _Split(target, redirection, &start, &components);
	if (status != B_OK)
		return status;
	if (components.empty())
		return B_NOT_ALLOWED;
	*leaf = components.back();
	return _Walk(start, components, components.size() - 1, true, parent, nullptr);
}

status_t RestoreTargetFolders::OpenFolder(const std::string& target, const char* redirection,
	bool create, BDirectory** folder, bool* created)
{
	if (created != nullptr)
		*created = false;
	std::string start;
	Components components;
	status_t status = _Split(target, redirection, &start, &components);
	if (status != B_OK)
		return status;
	return _Walk(start, components, components.size(), create, folder, created);
}

// The starting folder of an item and the names below it.
status_t RestoreTargetFolders::_Split(const std::string& target, const char* redirection,
	std::string* start, Components* components) const
{
	if (target.empty() || target[0] != '/')
		return B_NOT_ALLOWED;
	if (redirection != nullptr) {
		std::string wanted = WithoutTrailingSlashes(redirection);
		const std::string* best = nullptr;
		for (const std::string& root : fRoots) {
			if (Covers(root, wanted) && (best == nullptr || root.size() > best->size()))
				best = &root;
		}
		if (best == nullptr || !Covers(*best, target))
			return B_NOT_ALLOWED;
		*start = *best;
	} else {
		// The volume is the first component of a system path.
		*start = target.substr(0, target.find('/', 1));
	}

	components->clear();
	size_t from = start->size() == 1 ? 1 : start->size() + 1;
	while (from < target.size()) {
		size_t end = target.find('/', from);
		if (end == std::string::npos)
			end = target.size();
		std::string name = target.substr(from, end - from);
		if (!IsSafeEntryName(name))
			return B_NOT_ALLOWED;
		components->push_back(std::move(name));
		from = end + 1;
	}
	return B_OK;
}

// Opens the first depth components below start, keeping what the last walk
// opened on the same way.
status_t RestoreTargetFolders::_Walk(const std::string& start, const Components& components,
	size_t depth, bool create, BDirectory** folder, bool* created)
{
	BDirectory* above;
	status_t status = _StartFolder(start, &above);
	if (status != B_OK)
		return status;
	if (start != fChainStart) {
		fChain.clear();
		fChainStart = start;
	}
	size_t kept = 0;
	while (kept < fChain.size() && kept < depth && fChain[kept].first == components[kept])
		kept++;
	fChain.resize(kept);
	if (kept > 0)
		above = fChain[kept - 1].second.get();

	for (size_t i = kept; i < depth; i++) {
		auto next = std::make_unique<BDirectory>();
		bool made = false;
		status = above->OpenFolderAt(components[i].c_str(), create, next.get(), &made);
		if (status != B_OK)
			return status;
		if (created != nullptr && i + 1 == depth)
			*created = made;
		above = next.get();
		fChain.emplace_back(components[i], std::move(next));
	}
	*folder = above;
	return B_OK;
}

status_t RestoreTargetFolders::_StartFolder(const std::string& start, BDirectory** folder)
{
	auto found = fStartFolders.find(start);
	if (found == fStartFolders.end()) {
		auto opened = std::make_unique<BDirectory>(start.c_str());
		if (opened->InitCheck() == B_ENTRY_NOT_FOUND
			&& create_directory(start.c_str(), kNewFolderMode) == B_OK) {
			(void)opened->SetTo(start.c_str());
		}
		if (opened->InitCheck() != B_OK)
			return opened->InitCheck();
		found = fStartFolders.emplace(start, std::move(opened)).first;
	}
	*folder = found->second.get();
	return B_OK;
}
