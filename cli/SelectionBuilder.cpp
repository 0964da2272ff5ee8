#include "SelectionBuilder.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include <storage/VolumeTable.h>

namespace {

bool IsFolder(const std::string& nativePath)
{
	struct stat status;
	return lstat(nativePath.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}	// namespace

bool SelectionBuilder::Absolute(const std::string& path, std::string* absolute)
{
	if (path.empty())
		return false;
	std::string joined = path;
	if (path[0] != '/') {
		char folder[PATH_MAX];
		if (getcwd(folder, sizeof(folder)) == nullptr)
			return false;
		joined = std::string(folder) + "/" + path;
	}
	// Drop "." and empty components and resolve "..", without following
	// links: the user named this entry, not what a link leads to.
	std::vector<std::string> components;
	size_t start = 0;
	while (start <= joined.size()) {
		size_t slash = joined.find('/', start);
		std::string component = joined.substr(start, slash == std::string::npos
			? std::string::npos : slash - start);
		if (component == "..") {
			if (!components.empty())
				components.pop_back();
		} else if (!component.empty() && component != ".") {
			components.push_back(component);
		}
		if (slash == std::string::npos)
			break;
		start = slash + 1;
	}
	absolute->clear();
	for (const std::string& component : components)
		absolute->append("/").append(component);
	if (absolute->empty())
		absolute->push_back('/');
	return true;
}

bool SelectionBuilder::ToSystem(const std::string& nativePath, std::string* systemPath,
	std::string* error)
{
	std::string absolute;
	if (!Absolute(nativePath, &absolute)) {
		*error = "'" + nativePath + "' is not a usable path";
		return false;
	}
	if (VolumeTable::ToSystem(absolute.c_str(), systemPath) != B_OK) {
		*error = "'" + nativePath + "' lies on no volume the server knows";
		return false;
	}
	return true;
}

bool SelectionBuilder::Include(const std::string& nativePath, std::string* error)
{
	std::string absolute;
	struct stat status;
	if (!Absolute(nativePath, &absolute) || lstat(absolute.c_str(), &status) != 0) {
		*error = "'" + nativePath + "' does not exist";
		return false;
	}
	std::string systemPath;
	if (!ToSystem(absolute, &systemPath, error))
		return false;
	if (S_ISDIR(status.st_mode))
		systemPath += systemPath.back() == '/' ? "*" : "/*";
	fLines.push_back("INCLUDE " + systemPath);
	return true;
}

bool SelectionBuilder::Exclude(const std::string& nativePath, std::string* error)
{
	std::string absolute;
	std::string systemPath;
	if (!Absolute(nativePath, &absolute) || !ToSystem(absolute, &systemPath, error)) {
		if (error->empty())
			*error = "'" + nativePath + "' is not a usable path";
		return false;
	}
	if (IsFolder(absolute))
		systemPath += systemPath.back() == '/' ? "*" : "/*";
	fLines.push_back("EXCLUDE " + systemPath);
	return true;
}

void SelectionBuilder::Fill(BMessage* selection) const
{
	for (const std::string& line : fLines)
		selection->AddString("SELECTION", line);
}
