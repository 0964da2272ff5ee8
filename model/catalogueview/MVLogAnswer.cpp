#include "MVLogAnswer.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace {

struct Field {
	const char* name;
	type_code type;
};

// The arrays an entry of a listing is read from.
constexpr Field kEntryFields[] = {
	{"name", B_STRING_TYPE},
	{"level", B_INT32_TYPE},
	{"type", B_INT32_TYPE},
	{"size", B_INT64_TYPE},
	{"date", B_TIME_TYPE},
	{"medianr", B_INT32_TYPE},
	{"offset", B_INT64_TYPE},
	{"path", B_STRING_TYPE},
};

// The arrays a backup of the catalogue list is read from; its type, path,
// medium and offset are the same for every backup.
constexpr Field kBackupFields[] = {
	{"name", B_STRING_TYPE},
	{"title", B_STRING_TYPE},
	{"date", B_TIME_TYPE},
	{"size", B_INT64_TYPE},
};

constexpr int32 kBackupType = -1;
constexpr int32 kBackupMedium = 1;
constexpr int32 kBackupIndex = -1;

int32 CountElements(const BMessage& reply, std::span<const Field> fields)
{
	int32 elements = INT32_MAX;
	for (const Field& field : fields) {
		type_code type;
		int32 count = 0;
		if (reply.GetInfo(field.name, &type, &count) != B_OK || type != field.type)
			return 0;
		elements = std::min(elements, count);
	}
	return elements;
}

}	// namespace

MVLogAnswer::MVLogAnswer(const BMessage& reply)
	:
	fReply(reply),
	fEntries(CountElements(reply, kEntryFields)),
	fBackups(CountElements(reply, kBackupFields))
{
}

bool MVLogAnswer::EntryAt(int32 element, MVLogEntryData* data) const
{
	if (element < 0 || element >= CountEntries())
		return false;
	return data->SetFromReply(fReply, element);
}

bool MVLogAnswer::BackupAt(int32 element, MVLogEntryData* data) const
{
	if (element < 0 || element >= CountBackups())
		return false;
	*data = MVLogEntryData();
	data->name = fReply.GetString("name", element, "");
	data->fullPath = fReply.GetString("title", element, "");
	int32 date = 0;
	if (fReply.FindTime("date", element, &date) == B_OK)
		data->date = date;
	(void)fReply.FindInt64("size", element, &data->size);
	data->isProtected = fReply.GetInt32("pw", element, 0) != 0;
	data->mediaKind = MediaKindOf(fReply.GetString("dest", element, ""));
	data->type = kBackupType;
	data->mediaNumber = kBackupMedium;
	data->index = kBackupIndex;
	return true;
}
