#include "MVTreeEntryLog.h"

#include <cstring>

#include "MVLogQuery.h"

MVMediaKind MediaKindOf(const char* destinationAddOn)
{
	if (destinationAddOn == nullptr)
		return MVMediaKind::kUnknown;
	if (strcmp(destinationAddOn, "MVImage") == 0)
		return MVMediaKind::kImageFolder;
	if (strcmp(destinationAddOn, "MVSCSIStreamer") == 0)
		return MVMediaKind::kTape;
	return MVMediaKind::kUnknown;
}

bool MVLogEntryData::SetFromReply(const BMessage& reply, int32 element)
{
	// Read in the order the registry writes the fields, which the message
	// finds fastest; a listing of a million entries reads nine million.
	int32 foundLevel = reply.GetInt32("level", element, 0);
	const char* foundName = nullptr;
	if (reply.FindString("name", element, &foundName) != B_OK || foundName == nullptr)
		return false;
	*this = MVLogEntryData();
	level = foundLevel;
	name = foundName;
	type = reply.GetInt32("type", element, 0);
	(void)reply.FindInt64("size", element, &size);
	int32 seconds = 0;
	if (reply.FindTime("date", element, &seconds) == B_OK)
		date = seconds;
	mediaNumber = reply.GetInt32("medianr", element, 0);
	(void)reply.FindInt64("offset", element, &offset);
	fullPath = reply.GetString("path", element, "");
	// The registry names the running number "aktfilenr"; its browse
	// answer calls the catalogue position "index".
	if (reply.FindInt32("aktfilenr", element, &index) != B_OK)
		index = reply.GetInt32("index", element, 0);
	return true;
}

MVTreeEntryLog::MVTreeEntryLog(const BMessenger& registry)
	:
	fRegistry(registry)
{
}

MVTreeEntryLog::MVTreeEntryLog(const BMessenger& registry, const MVLogEntryData& data,
	const char* redirection)
	:
	fRegistry(registry),
	fData(data)
{
	fName = data.name;
	SetRedirection(redirection);
}

MVTreeEntryLog::~MVTreeEntryLog() = default;

bool MVTreeEntryLog::SetTo(const std::string& path)
{
	fData = MVLogEntryData();
	fName.clear();
	BMessage reply;
	if (QueryCatalogueRegistry(fRegistry, path.c_str(), kLogReadEntry, &reply) != B_OK)
		return false;
	if (!fData.SetFromReply(reply, 0))
		return false;
	fName = fData.name;
	return true;
}

bool MVTreeEntryLog::IsDirectory() const
{
	return fData.type == kLogTypeDirectory || fData.type == kLogTypeVolumeRoot;
}

const char* MVTreeEntryLog::FullPath() const
{
	return fData.fullPath.empty() ? nullptr : fData.fullPath.c_str();
}
