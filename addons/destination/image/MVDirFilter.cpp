#include "MVDirFilter.h"

#include <cstring>

bool MVDirFilter::Filter(const entry_ref* ref, BNode* node, struct stat* st,
	const char* mimeType)
{
	return mimeType != nullptr && (strcmp(mimeType, B_DIRECTORY_MIME_TYPE) == 0
		|| strcmp(mimeType, B_VOLUME_MIME_TYPE) == 0);
}
