#include "MVTreeListLog.h"

#include "MVTreeEntryLog.h"

MVTreeListLog::~MVTreeListLog()
{
	MakeEmpty();
}

MVTreeEntry* MVTreeListLog::CreateEntry(const char* path)
{
	if (path == nullptr)
		return nullptr;
	if (path[0] == '/') {
		MVTreeEntryLog* entry = new MVTreeEntryLog(fRegistry);
		(void)entry->SetTo(path);
		return entry;
	}
	MVLogEntryData data;
	data.name = path;
	return new MVTreeEntryLog(fRegistry, data);
}

bool MVTreeListLog::ScanStart(const char* path)
{
	(void)path;
	return false;
}

const char* MVTreeListLog::ScanNext()
{
	return nullptr;
}
