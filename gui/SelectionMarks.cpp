#include "SelectionMarks.h"

#include <algorithm>
#include <vector>

namespace {

constexpr const char* kIncludePrefix = "INCLUDE ";
constexpr const char* kExcludePrefix = "EXCLUDE ";
constexpr size_t kPrefixLength = 8;
constexpr const char* kDirectoryMarker = "/*";


bool IsBelow(const std::string& path, const std::string& folder)
{
	return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0
		&& path[folder.size()] == '/';
}


size_t Depth(const std::string& path)
{
	return size_t(std::count(path.begin(), path.end(), '/'));
}

}	// namespace


void SelectionMarks::Set(const std::string& path, Mark mark, bool directory)
{
	if (mark == kUnmarked)
		fMarks.erase(path);
	else
		fMarks[path] = Entry{mark, directory};
}


SelectionMarks::Mark SelectionMarks::MarkOf(const std::string& path) const
{
	auto found = fMarks.find(path);
	return found != fMarks.end() ? found->second.mark : kUnmarked;
}


SelectionMarks::Mark SelectionMarks::Effective(const std::string& path) const
{
	std::string current = path;
	while (!current.empty()) {
		Mark mark = MarkOf(current);
		if (mark != kUnmarked)
			return mark;
		size_t slash = current.rfind('/');
		if (slash == std::string::npos || slash == 0)
			break;
		current.resize(slash);
	}
	return kUnmarked;
}


bool SelectionMarks::AnyIncluded() const
{
	return std::any_of(fMarks.begin(), fMarks.end(),
		[](const auto& mark) { return mark.second.mark == kIncluded; });
}


void SelectionMarks::WriteLines(BMessage* selection) const
{
	std::vector<std::string> paths;
	for (const auto& [path, entry] : fMarks)
		paths.push_back(path);
	std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
		return Depth(a) < Depth(b);
	});
	selection->RemoveName("SELECTION");
	for (const std::string& path : paths) {
		const Entry& entry = fMarks.at(path);
		std::string line = (entry.mark == kIncluded ? kIncludePrefix : kExcludePrefix) + path;
		if (entry.directory)
			line += kDirectoryMarker;
		selection->AddString("SELECTION", line.c_str());
	}
}


void SelectionMarks::ReadLines(const BMessage& selection)
{
	fMarks.clear();
	const char* text;
	for (int32 index = 0; selection.FindString("SELECTION", index, &text) == B_OK; index++) {
		std::string line = text;
		if (line.size() <= kPrefixLength)
			continue;
		Mark mark;
		if (line.compare(0, kPrefixLength, kIncludePrefix) == 0)
			mark = kIncluded;
		else if (line.compare(0, kPrefixLength, kExcludePrefix) == 0)
			mark = kExcluded;
		else
			continue;
		std::string path = line.substr(kPrefixLength);
		bool directory = path.size() >= 2 && path.compare(path.size() - 2, 2, kDirectoryMarker) == 0;
		if (directory)
			path.resize(path.size() - 2);
		if (path.size() < 2 || path[0] != '/')
			continue;
		if (directory)
			_DropBelow(path);
		Set(path, mark, directory);
	}
}


void SelectionMarks::_DropBelow(const std::string& path)
{
	for (auto it = fMarks.upper_bound(path); it != fMarks.end();) {
		if (IsBelow(it->first, path))
			it = fMarks.erase(it);
		else if (it->first.compare(0, path.size(), path) == 0)
			++it;	// a sibling such as "/a/bc" sorts among "/a/b/..."
		else
			break;
	}
}
