#include "EntryName.h"

bool IsSafeEntryName(std::string_view name)
{
	return !name.empty() && name.find('/') == std::string_view::npos && name != "."
		&& name != "..";
}

bool IsSafeEntryName(const char* name)
{
	return name != nullptr && IsSafeEntryName(std::string_view(name));
}

bool IsSafeEntryPath(const char* path)
{
	if (path == nullptr || path[0] != '/')
		return false;
	std::string_view rest(path + 1);
	while (true) {
		size_t slash = rest.find('/');
		if (!IsSafeEntryName(rest.substr(0, slash)))
			return false;
		if (slash == std::string_view::npos)
			return true;
		rest.remove_prefix(slash + 1);
	}
}
