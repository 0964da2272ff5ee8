#include "MVSelectionLine.h"

#include <cstring>

#include <storage/VolumeTable.h>


void MVSelectionLine::SetTo(const char* line, const char* includeWord)
{
	Unset();
	if (line == nullptr || includeWord == nullptr)
		return;
	size_t length = strlen(line);
	if (length < kPrefixLength)
		return;
	size_t wordLength = strlen(includeWord);
	fInclude = wordLength <= kPrefixLength && strncmp(line, includeWord, wordLength) == 0;

	// The marker belongs to the path, so a bare prefix cannot lend it its "/".
	std::string path(line + kPrefixLength, length - kPrefixLength);
	if (path.size() >= 2 && path.compare(path.size() - 2, 2, "/*") == 0) {
		fDirectory = true;
		path.resize(path.size() - 2);
	}

	std::string normalized;
	if (VolumeTable::Normalize(path.c_str(), &normalized) != B_OK || normalized.size() < 2)
		return;
	fPath = std::move(normalized);
}


void MVSelectionLine::Unset()
{
	fPath.clear();
	fInclude = false;
	fDirectory = false;
}
