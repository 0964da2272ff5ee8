#include "MVPathSplitter.h"


void MVPathSplitter::SetTo(std::string_view path)
{
	fPath = path;
	fPosition = 0;
}


bool MVPathSplitter::Next(std::string_view* component)
{
	while (fPosition < fPath.size() && fPath[fPosition] == '/')
		fPosition++;
	if (fPosition >= fPath.size())
		return false;
	size_t end = fPath.find('/', fPosition);
	if (end == std::string_view::npos)
		end = fPath.size();
	*component = fPath.substr(fPosition, end - fPosition);
	fPosition = end;
	return true;
}


bool MVPathSplitter::AtEnd() const
{
	return fPath.find_first_not_of('/', fPosition) == std::string_view::npos;
}
