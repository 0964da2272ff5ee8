#include "CatalogueBrowser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "CatalogueFormat.h"

namespace {

struct EntryField {
	const char* name;
	type_code type;
};

// The arrays every browse entry is made of.
constexpr EntryField kEntryFields[] = {
	{kLogNameKey, B_STRING_TYPE},
	{kLogLevelKey, B_INT32_TYPE},
	{kLogTypeKey, B_INT32_TYPE},
	{kLogRealSizeKey, B_INT64_TYPE},
	{kLogModifiedKey, B_TIME_TYPE},
	{kLogMediumKey, B_INT32_TYPE},
	{kLogOffsetKey, B_INT64_TYPE},
};

const char* LeafOf(const char* path)
{
	const char* slash = strrchr(path, '/');
	return slash != nullptr ? slash + 1 : path;
}

}	// namespace

CatalogueBrowser::CatalogueBrowser(const BMessage& catalogue)
	:
	fCatalogue(catalogue),
	fCount(_CountEntries())
{
}

int32 CatalogueBrowser::_CountEntries() const
{
	int32 entries = INT32_MAX;
	for (const EntryField& field : kEntryFields) {
		type_code type;
		int32 count = 0;
		if (fCatalogue.GetInfo(field.name, &type, &count) != B_OK || type != field.type)
			return 0;
		entries = std::min(entries, count);
	}
	return entries;
}

bool CatalogueBrowser::AddEntry(int32 position, BMessage* reply) const
{
	if (position < 0 || position >= fCount)
		return false;
	const char* path = fCatalogue.GetString(kLogNameKey, position, "");
	int32 modified = 0;
	int64 size = 0;
	int64 offset = 0;
	(void)fCatalogue.FindTime(kLogModifiedKey, position, &modified);
	(void)fCatalogue.FindInt64(kLogRealSizeKey, position, &size);
	(void)fCatalogue.FindInt64(kLogOffsetKey, position, &offset);

	reply->AddInt32("level", _Level(position));
	reply->AddString("name", LeafOf(path));
	reply->AddInt32("type", fCatalogue.GetInt32(kLogTypeKey, position, 0));
	reply->AddInt64("size", size);
	reply->AddTime("date", modified);
	reply->AddInt32("medianr", fCatalogue.GetInt32(kLogMediumKey, position, 0));
	reply->AddInt64("offset", offset);
	reply->AddString("path", path);
	reply->AddInt32("index", position);
	int32 number;
	if (fCatalogue.FindInt32(kLogEntryNumberKey, position, &number) == B_OK)
		reply->AddInt32("aktfilenr", number);
	return true;
}

void CatalogueBrowser::AddRootEntry(const char* catalogueName, BMessage* reply) const
{
	// The catalogue keeps its date as int32; clients get it as a time.
	int32 date = 0;
	int64 size = 0;
	(void)fCatalogue.FindInt32(kLogDateKey, &date);
	(void)fCatalogue.FindInt64(kLogSizeKey, &size);

	reply->AddInt32("level", -1);
	reply->AddString("name", catalogueName);
	reply->AddInt32("type", -1);
	reply->AddInt64("size", size);
	reply->AddTime("date", date);
	reply->AddInt32("medianr", 1);
	reply->AddInt64("offset", 0);
	reply->AddString("path", fCatalogue.GetString(kLogTitleKey, ""));
	reply->AddInt32("index", -1);
}

void CatalogueBrowser::ReadDir(const char* catalogueName, const std::string& entryPath,
	int32 startIndex, int32 mode, BMessage* reply) const
{
	int32 start = std::clamp(startIndex, 0, fCount);
	// Levels are compared as int64: a level read from a file may be
	// INT32_MAX.
	int64 targetLevel = 0;
	if (entryPath.empty()) {
		if (mode == kLogReadEntry) {
			AddRootEntry(catalogueName, reply);
			return;
		}
	} else {
		int32 found = _Find(entryPath, start);
		if (found < 0)
			return;
		if (mode == kLogReadEntry) {
			AddEntry(found, reply);
			return;
		}
		targetLevel = int64(_Level(found)) + 1;
		start = found + 1;
	}

	for (int32 position = start; position < fCount; position++) {
		int64 level = _Level(position);
		if (level < targetLevel)
			break;
		if (mode == kLogReadSubtree || level == targetLevel)
			AddEntry(position, reply);
	}
}

bool CatalogueBrowser::SplitPath(const char* path, std::string* catalogueName,
	std::string* entryPath)
{
	if (path == nullptr || path[0] != '/')
		return false;
	const char* name = path + 1;
	const char* slash = strchr(name, '/');
	size_t length = slash != nullptr ? size_t(slash - name) : strlen(name);
	if (length == 0)
		return false;
	catalogueName->assign(name, length);
	entryPath->assign(slash != nullptr ? slash : "");
	return true;
}

int32 CatalogueBrowser::_Level(int32 position) const
{
	return fCatalogue.GetInt32(kLogLevelKey, position, 0);
}

int32 CatalogueBrowser::_Find(const std::string& entryPath, int32 startIndex) const
{
	const char* path;
	for (int32 position = startIndex; position < fCount; position++) {
		if (fCatalogue.FindString(kLogNameKey, position, &path) == B_OK && entryPath == path)
			return position;
	}
	return -1;
}
