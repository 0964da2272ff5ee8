#include "MVTreeEntry.h"

#include "MVPathSplitter.h"


MVTreeEntry::~MVTreeEntry() = default;


bool MVTreeEntry::SetTo(const std::string& path)
{
	fName.clear();
	MVPathSplitter components(path);
	std::string_view component;
	while (components.Next(&component))
		fName.assign(component);
	return !fName.empty();
}


void MVTreeEntry::SetRedirection(const char* redirection)
{
	fRedirection = redirection != nullptr ? redirection : "";
}
