#include "CatalogueList.h"

#include <cstring>
#include <vector>

#include <storage/Node.h>
#include <storage/StorageDefs.h>

#include "CatalogueFormat.h"
#include "JobTitle.h"

namespace {

constexpr const char* kNameField = "name";
constexpr const char* kNodeField = "node";
constexpr const char* kTitleField = "title";
constexpr const char* kDateField = "date";
constexpr const char* kTypeField = "type";
constexpr const char* kSizeField = "size";
constexpr const char* kPathField = "path";
constexpr const char* kMediumField = "medianr";
constexpr const char* kOffsetField = "offset";
constexpr const char* kJobIdField = "job_id";
constexpr const char* kModeField = "mode";
constexpr const char* kBaseIdField = "base_id";
constexpr const char* kPasswordField = "pw";
constexpr const char* kDestinationField = "dest";

// A catalogue file is not a media item: these slot values are fixed.
constexpr int32 kSlotType = -1;
constexpr const char* kSlotPath = " ";
constexpr int32 kSlotMedium = 1;
constexpr int64 kSlotOffset = 0;

uint64 DecodeLE(const uint8* bytes, size_t size)
{
	uint64 value = 0;
	for (size_t i = size; i > 0; i--)
		value = (value << 8) | bytes[i - 1];
	return value;
}

// True with *value when the attribute holds exactly size bytes.
bool ReadNumber(BNode* node, const char* name, size_t size, uint64* value)
{
	uint8 bytes[8] = {};
	ssize_t read = node->ReadAttr(name, 0, 0, bytes, sizeof(bytes));
	if (read != ssize_t(size))
		return false;
	*value = DecodeLE(bytes, size);
	return true;
}

// A text attribute as a C buffer of bufferSize bytes would hold it, without
// splitting a UTF-8 character at the cut.
std::string ReadText(BNode* node, const char* attribute, size_t bufferSize)
{
	std::string buffer(bufferSize, '\0');
	ssize_t read = node->ReadAttr(attribute, 0, 0, buffer.data(), bufferSize);
	if (read <= 0)
		return std::string();
	size_t length = strnlen(buffer.data(), size_t(read));
	buffer.resize(Utf8PrefixLength(std::string_view(buffer.data(), length), bufferSize - 1));
	return buffer;
}

int32 CountOf(const BMessage& list, const char* name)
{
	type_code type;
	int32 count = 0;
	if (list.GetInfo(name, &type, &count) != B_OK)
		return 0;
	return count;
}

}	// namespace

bool CatalogueList::IsFileName(const char* name)
{
	if (name == nullptr || name[0] == '\0' || name[0] == '.' || strchr(name, '/') != nullptr)
		return false;
	return strlen(name) < B_FILE_NAME_LENGTH;
}

CatalogueSlot CatalogueList::ReadSlot(BNode* node, const char* name, int64 inode)
{
	CatalogueSlot slot;
	slot.name = name;
	slot.node = inode;
	std::string title = ReadText(node, kCatalogueTitleAttribute, CatalogueSlot::kTitleBufferSize);
	if (!title.empty())
		slot.title = title;
	slot.destination = ReadText(node, kCatalogueDestinationAttribute, B_FILE_NAME_LENGTH);

	uint64 value;
	if (ReadNumber(node, kCatalogueDateAttribute, 4, &value))
		slot.date = int32(uint32(value));
	if (ReadNumber(node, kCatalogueSizeAttribute, 8, &value))
		slot.size = int64(value);
	if (ReadNumber(node, kCatalogueJobIdAttribute, 4, &value))
		slot.jobId = int32(uint32(value));
	if (ReadNumber(node, kCatalogueModeAttribute, 4, &value) && value != 0)
		slot.mode = int32(uint32(value));
	if (ReadNumber(node, kCatalogueBaseIdAttribute, 4, &value))
		slot.baseId = int32(uint32(value));
	if (ReadNumber(node, kCataloguePasswordAttribute, 4, &value))
		slot.password = int32(uint32(value));
	return slot;
}

int32 CatalogueList::CountSlots(const BMessage& list)
{
	return CountOf(list, kNameField);
}

status_t CatalogueList::Append(BMessage* list, const CatalogueSlot& slot)
{
	// Checked first, so that a failure leaves no partial slot behind.
	int32 count = CountSlots(*list);
	for (const char* field : {kNodeField, kTitleField, kDateField, kTypeField, kSizeField,
			kPathField, kMediumField, kOffsetField, kJobIdField, kModeField, kBaseIdField,
			kPasswordField, kDestinationField}) {
		if (CountOf(*list, field) != count)
			return B_BAD_DATA;
	}
	status_t status = list->AddString(kNameField, slot.name);
	if (status == B_OK)
		status = list->AddInt64(kNodeField, slot.node);
	if (status == B_OK)
		status = list->AddString(kTitleField, slot.title);
	if (status == B_OK)
		status = list->AddTime(kDateField, slot.date);
	if (status == B_OK)
		status = list->AddInt32(kTypeField, kSlotType);
	if (status == B_OK)
		status = list->AddInt64(kSizeField, slot.size);
	if (status == B_OK)
		status = list->AddString(kPathField, kSlotPath);
	if (status == B_OK)
		status = list->AddInt32(kMediumField, kSlotMedium);
	if (status == B_OK)
		status = list->AddInt64(kOffsetField, kSlotOffset);
	if (status == B_OK)
		status = list->AddInt32(kJobIdField, slot.jobId);
	if (status == B_OK)
		status = list->AddInt32(kModeField, slot.mode);
	if (status == B_OK)
		status = list->AddInt32(kBaseIdField, slot.baseId);
	if (status == B_OK)
		status = list->AddInt32(kPasswordField, slot.password);
	if (status == B_OK)
		status = list->AddString(kDestinationField, slot.destination);
	if (status != B_OK)
		(void)Remove(list, count);
	return status;
}

status_t CatalogueList::Remove(BMessage* list, int32 slot)
{
	if (slot < 0 || slot >= CountSlots(*list))
		return B_BAD_INDEX;
	// Removing the last value of a field removes the field, which would
	// shift the names; they are taken first.
	std::vector<std::string> names;
	const char* name;
	type_code type;
	int32 count;
	for (int32 i = 0; list->GetInfo(B_ANY_TYPE, i, &name, &type, &count) == B_OK; i++) {
		if (count > slot)
			names.emplace_back(name);
	}
	for (const std::string& field : names)
		list->RemoveData(field.c_str(), slot);
	return B_OK;
}

int32 CatalogueList::FindName(const BMessage& list, const char* name)
{
	if (name == nullptr)
		return -1;
	const char* value;
	for (int32 slot = 0; list.FindString(kNameField, slot, &value) == B_OK; slot++) {
		if (strcmp(value, name) == 0)
			return slot;
	}
	return -1;
}

int32 CatalogueList::FindNode(const BMessage& list, int64 node)
{
	int64 value;
	for (int32 slot = 0; list.FindInt64(kNodeField, slot, &value) == B_OK; slot++) {
		if (value == node)
			return slot;
	}
	return -1;
}

status_t CatalogueList::AddNotice(const BMessage& list, int32 slot, BMessage* notice)
{
	const char* name;
	const char* title;
	int32 date;
	int64 size;
	if (list.FindString(kNameField, slot, &name) != B_OK
		|| list.FindString(kTitleField, slot, &title) != B_OK
		|| list.FindTime(kDateField, slot, &date) != B_OK
		|| list.FindInt64(kSizeField, slot, &size) != B_OK) {
		return B_BAD_INDEX;
	}
	for (const char* field : {kModeField, kBaseIdField, kJobIdField, kTypeField}) {
		int32 value;
		if (list.FindInt32(field, slot, &value) != B_OK)
			return B_BAD_INDEX;
		notice->AddInt32(field, value);
	}
	notice->AddString(kNameField, name);
	notice->AddString(kTitleField, title);
	notice->AddTime(kDateField, date);
	notice->AddInt64(kSizeField, size);
	notice->AddInt32(kPasswordField, list.GetInt32(kPasswordField, slot, 0));
	notice->AddString(kDestinationField, list.GetString(kDestinationField, slot, ""));
	return B_OK;
}

void CatalogueList::CopyForClients(const BMessage& list, BMessage* copy)
{
	uint32 what = copy->what;
	*copy = list;
	copy->what = what;
	copy->RemoveName(kNodeField);
}
