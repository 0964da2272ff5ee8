#include <app/Message.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include <storage/EntryRef.h>

#include "MessageField.h"
#include "MessageFormat.h"

using MorvaneKit::MessageAccess;

BMessage::BMessage() = default;

BMessage::BMessage(uint32 command)
	:
	what(command)
{
}

BMessage::BMessage(const BMessage& other)
	:
	what(other.what),
	fFields(other.fFields),
	fBuildError(other.fBuildError)
{
}

BMessage::BMessage(BMessage&& other) noexcept
	:
	what(other.what),
	fFields(std::move(other.fFields)),
	fBuildError(other.fBuildError),
	fDelivery(std::move(other.fDelivery))
{
	other.fFields.clear();
	other.fLastField = -1;
	other.fBuildError = B_OK;
}

BMessage& BMessage::operator=(const BMessage& other)
{
	if (this != &other)
		_CopyContent(other);
	return *this;
}

BMessage& BMessage::operator=(BMessage&& other) noexcept
{
	if (this == &other)
		return *this;
	// A sender that is gone needs no answer.
	(void)_SendNoReply();
	what = other.what;
	fFields = std::move(other.fFields);
	fBuildError = other.fBuildError;
	fDelivery = std::move(other.fDelivery);
	fLastField = -1;
	other.fFields.clear();
	other.fLastField = -1;
	other.fBuildError = B_OK;
	return *this;
}

BMessage::~BMessage()
{
	// A sender that is gone needs no answer.
	(void)_SendNoReply();
}

// Assignment replaces the content; an unanswered request that this message
// was is answered with B_NO_REPLY first, since the copy cannot answer it.
void BMessage::_CopyContent(const BMessage& other)
{
	// A sender that is gone needs no answer.
	(void)_SendNoReply();
	fDelivery.reset();
	what = other.what;
	fFields = other.fFields;
	fBuildError = other.fBuildError;
	fLastField = -1;
}

// #pragma mark - field lookup

BMessage::Field* BMessage::_FindField(const char* name)
{
	return const_cast<Field*>(static_cast<const BMessage*>(this)->_FindField(name));
}

const BMessage::Field* BMessage::_FindField(const char* name) const
{
	if (name == nullptr)
		return nullptr;
	// Callers touch the same field many times in a row, or go round the
	// fields in order (appending entries to a catalogue's parallel arrays),
	// so the last hit and the field after it are tried first.
	for (int32 guess : {fLastField, fLastField + 1}) {
		if (guess >= 0 && size_t(guess) < fFields.size() && fFields[size_t(guess)].name == name) {
			fLastField = guess;
			return &fFields[size_t(guess)];
		}
	}
	for (size_t i = 0; i < fFields.size(); i++) {
		if (fFields[i].name == name) {
			fLastField = int32(i);
			return &fFields[i];
		}
	}
	return nullptr;
}

status_t BMessage::_FindField(const char* name, type_code type, const Field** field) const
{
	const Field* found = _FindField(name);
	if (found == nullptr)
		return B_NAME_NOT_FOUND;
	if (type != B_ANY_TYPE && found->type != type)
		return B_BAD_TYPE;
	*field = found;
	return B_OK;
}

status_t BMessage::_FindField(const char* name, type_code type, Field** field)
{
	const Field* found;
	status_t status = static_cast<const BMessage*>(this)->_FindField(name, type, &found);
	if (status == B_OK)
		*field = const_cast<Field*>(found);
	return status;
}

// #pragma mark - information

status_t BMessage::GetInfo(const char* name, type_code* typeFound, int32* countFound) const
{
	const Field* field = _FindField(name);
	if (field == nullptr) {
		if (countFound != nullptr)
			*countFound = 0;
		return B_NAME_NOT_FOUND;
	}
	if (typeFound != nullptr)
		*typeFound = field->type;
	if (countFound != nullptr)
		*countFound = field->count;
	return B_OK;
}

status_t BMessage::GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const
{
	const Field* field = _FindField(name);
	if (field == nullptr)
		return B_NAME_NOT_FOUND;
	if (typeFound != nullptr)
		*typeFound = field->type;
	if (fixedSize != nullptr)
		*fixedSize = field->IsFixedSize();
	return B_OK;
}

status_t BMessage::GetInfo(type_code type, int32 index, const char** nameFound,
	type_code* typeFound, int32* countFound) const
{
	if (index < 0)
		return B_BAD_INDEX;
	int32 seen = 0;
	for (const Field& field : fFields) {
		if (type != B_ANY_TYPE && field.type != type)
			continue;
		if (seen++ != index)
			continue;
		if (nameFound != nullptr)
			*nameFound = field.name.c_str();
		if (typeFound != nullptr)
			*typeFound = field.type;
		if (countFound != nullptr)
			*countFound = field.count;
		return B_OK;
	}
	return seen == 0 ? B_BAD_TYPE : B_BAD_INDEX;
}

int32 BMessage::CountNames(type_code type) const
{
	int32 count = 0;
	for (const Field& field : fFields) {
		if (type == B_ANY_TYPE || field.type == type)
			count++;
	}
	return count;
}

bool BMessage::HasData(const char* name, type_code type, int32 index) const
{
	const Field* field;
	return _FindField(name, type, &field) == B_OK && index >= 0 && index < field->count;
}

status_t BMessage::Rename(const char* oldName, const char* newName)
{
	Field* field = _FindField(oldName);
	if (field == nullptr)
		return B_NAME_NOT_FOUND;
	if (!MorvaneKit::IsValidFieldName(newName))
		return B_BAD_VALUE;
	if (_FindField(newName) != nullptr)
		return B_NAME_IN_USE;
	field = _FindField(oldName);
	field->name = newName;
	return B_OK;
}

// #pragma mark - adding

status_t BMessage::_AddItem(const char* name, type_code type, const void* data, size_t size,
	bool isFixedSize)
{
	return _Built(_StoreItem(name, type, data, size, isFixedSize));
}

status_t BMessage::_StoreItem(const char* name, type_code type, const void* data, size_t size,
	bool isFixedSize)
{
	if (!MorvaneKit::IsValidFieldName(name) || (data == nullptr && size != 0))
		return B_BAD_VALUE;
	status_t status = MorvaneKit::CheckItem(type, data, size, &isFixedSize);
	if (status != B_OK)
		return status;
	Field* field = _FindField(name);
	if (field == nullptr) {
		fFields.emplace_back();
		field = &fFields.back();
		fLastField = int32(fFields.size() - 1);
		field->name = name;
		field->type = type;
		field->itemSize = isFixedSize ? uint32(size) : 0;
	} else if (field->type != type) {
		return B_BAD_TYPE;
	} else if (field->IsFixedSize() && size != field->itemSize) {
		return B_BAD_VALUE;
	}
	if (field->count == INT32_MAX)
		return B_NO_MEMORY;
	field->Append(data, size);
	return B_OK;
}

status_t BMessage::AddData(const char* name, type_code type, const void* data,
	ssize_t numBytes, bool isFixedSize, int32 count)
{
	if (numBytes < 0)
		return _Built(B_BAD_VALUE);
	return _AddItem(name, type, data, size_t(numBytes), isFixedSize);
}

#define MV_ADD_FIXED(Name, CType, TypeCode) \
	status_t BMessage::Add##Name(const char* name, CType value) \
	{ \
		char bytes[sizeof(CType)]; \
		MorvaneKit::StoreLE(bytes, value); \
		return _AddItem(name, TypeCode, bytes, sizeof(bytes), true); \
	}

MV_ADD_FIXED(Bool, bool, B_BOOL_TYPE)
MV_ADD_FIXED(Int8, int8, B_INT8_TYPE)
MV_ADD_FIXED(UInt8, uint8, B_UINT8_TYPE)
MV_ADD_FIXED(Int16, int16, B_INT16_TYPE)
MV_ADD_FIXED(UInt16, uint16, B_UINT16_TYPE)
MV_ADD_FIXED(Int32, int32, B_INT32_TYPE)
MV_ADD_FIXED(UInt32, uint32, B_UINT32_TYPE)
MV_ADD_FIXED(Int64, int64, B_INT64_TYPE)
MV_ADD_FIXED(UInt64, uint64, B_UINT64_TYPE)
MV_ADD_FIXED(Float, float, B_FLOAT_TYPE)
MV_ADD_FIXED(Double, double, B_DOUBLE_TYPE)

#undef MV_ADD_FIXED

status_t BMessage::AddTime(const char* name, int32 seconds)
{
	char bytes[4];
	MorvaneKit::StoreLE(bytes, seconds);
	return _AddItem(name, B_TIME_TYPE, bytes, sizeof(bytes), true);
}

status_t BMessage::AddString(const char* name, const char* value)
{
	if (value == nullptr)
		return _Built(B_BAD_VALUE);
	return _AddItem(name, B_STRING_TYPE, value, strlen(value) + 1, false);
}

status_t BMessage::AddString(const char* name, const std::string& value)
{
	return _AddItem(name, B_STRING_TYPE, value.c_str(), strlen(value.c_str()) + 1, false);
}

status_t BMessage::AddRect(const char* name, BRect value)
{
	auto bytes = MorvaneKit::EncodeRect(value);
	return _AddItem(name, B_RECT_TYPE, bytes.data(), bytes.size(), true);
}

status_t BMessage::AddPoint(const char* name, BPoint value)
{
	auto bytes = MorvaneKit::EncodePoint(value);
	return _AddItem(name, B_POINT_TYPE, bytes.data(), bytes.size(), true);
}

status_t BMessage::AddPointer(const char* name, const void* value)
{
	char bytes[8];
	MorvaneKit::StoreLE(bytes, uint64(reinterpret_cast<uintptr_t>(value)));
	return _AddItem(name, B_POINTER_TYPE, bytes, sizeof(bytes), true);
}

status_t BMessage::AddMessenger(const char* name, BMessenger value)
{
	auto bytes = MorvaneKit::EncodeMessenger(value);
	return _AddItem(name, B_MESSENGER_TYPE, bytes.data(), bytes.size(), true);
}

status_t BMessage::AddRef(const char* name, const entry_ref* ref)
{
	if (ref == nullptr)
		return _Built(B_BAD_VALUE);
	return _AddItem(name, B_REF_TYPE, ref->path.c_str(), strlen(ref->path.c_str()) + 1, false);
}

status_t BMessage::AddMessage(const char* name, const BMessage* message)
{
	if (message == nullptr)
		return _Built(B_BAD_VALUE);
	std::vector<char> flat;
	status_t status = message->Flatten(&flat);
	if (status != B_OK)
		return _Built(status);
	return _AddItem(name, B_MESSAGE_TYPE, flat.data(), flat.size(), false);
}

// #pragma mark - removing

status_t BMessage::RemoveData(const char* name, int32 index)
{
	Field* field = _FindField(name);
	if (field == nullptr)
		return B_NAME_NOT_FOUND;
	if (index < 0 || index >= field->count)
		return B_BAD_INDEX;
	field->Remove(index);
	if (field->count == 0)
		return RemoveName(name);
	return B_OK;
}

status_t BMessage::RemoveName(const char* name)
{
	const Field* field = _FindField(name);
	if (field == nullptr)
		return B_NAME_NOT_FOUND;
	fFields.erase(fFields.begin() + (field - fFields.data()));
	fLastField = -1;
	return B_OK;
}

status_t BMessage::MakeEmpty()
{
	fFields.clear();
	fLastField = -1;
	fBuildError = B_OK;
	return B_OK;
}

status_t BMessage::_Built(status_t status)
{
	if (status != B_OK && fBuildError == B_OK)
		fBuildError = status;
	return status;
}

// #pragma mark - finding

status_t BMessage::FindData(const char* name, type_code type, int32 index, const void** data,
	ssize_t* numBytes) const
{
	const Field* field;
	status_t status = _FindField(name, type, &field);
	if (status != B_OK)
		return status;
	if (index < 0 || index >= field->count)
		return B_BAD_INDEX;
	size_t size;
	const char* item = field->ItemAt(index, &size);
	if (data != nullptr)
		*data = item;
	if (numBytes != nullptr)
		*numBytes = ssize_t(size);
	return B_OK;
}

status_t BMessage::FindData(const char* name, type_code type, const void** data,
	ssize_t* numBytes) const
{
	return FindData(name, type, 0, data, numBytes);
}

template<typename T>
status_t BMessage::_FindFixed(const char* name, type_code type, int32 index, T* value) const
{
	const void* data;
	ssize_t size;
	status_t status = FindData(name, type, index, &data, &size);
	if (status != B_OK)
		return status;
	if (size != ssize_t(sizeof(T)))
		return B_BAD_DATA;
	if (value != nullptr)
		*value = MorvaneKit::LoadLE<T>(static_cast<const char*>(data));
	return B_OK;
}

template<typename T>
status_t BMessage::_FindDecoded(const char* name, type_code type, int32 index, T* value,
	T (*decode)(const char*)) const
{
	const void* data;
	status_t status = FindData(name, type, index, &data, nullptr);
	if (status == B_OK && value != nullptr)
		*value = decode(static_cast<const char*>(data));
	return status;
}

#define MV_FIND_FIXED(Name, CType, TypeCode) \
	status_t BMessage::Find##Name(const char* name, int32 index, CType* value) const \
	{ \
		return _FindFixed(name, TypeCode, index, value); \
	} \
	status_t BMessage::Find##Name(const char* name, CType* value) const \
	{ \
		return _FindFixed(name, TypeCode, 0, value); \
	}

MV_FIND_FIXED(Bool, bool, B_BOOL_TYPE)
MV_FIND_FIXED(Int8, int8, B_INT8_TYPE)
MV_FIND_FIXED(UInt8, uint8, B_UINT8_TYPE)
MV_FIND_FIXED(Int16, int16, B_INT16_TYPE)
MV_FIND_FIXED(UInt16, uint16, B_UINT16_TYPE)
MV_FIND_FIXED(Int32, int32, B_INT32_TYPE)
MV_FIND_FIXED(UInt32, uint32, B_UINT32_TYPE)
MV_FIND_FIXED(Int64, int64, B_INT64_TYPE)
MV_FIND_FIXED(UInt64, uint64, B_UINT64_TYPE)
MV_FIND_FIXED(Float, float, B_FLOAT_TYPE)
MV_FIND_FIXED(Double, double, B_DOUBLE_TYPE)
MV_FIND_FIXED(Time, int32, B_TIME_TYPE)

#undef MV_FIND_FIXED

status_t BMessage::FindString(const char* name, int32 index, const char** value) const
{
	const void* data;
	status_t status = FindData(name, B_STRING_TYPE, index, &data, nullptr);
	if (status == B_OK && value != nullptr)
		*value = static_cast<const char*>(data);
	return status;
}

status_t BMessage::FindString(const char* name, const char** value) const
{
	return FindString(name, 0, value);
}

status_t BMessage::FindString(const char* name, int32 index, std::string* value) const
{
	const char* text;
	status_t status = FindString(name, index, &text);
	if (status == B_OK && value != nullptr)
		*value = text;
	return status;
}

status_t BMessage::FindString(const char* name, std::string* value) const
{
	return FindString(name, 0, value);
}

status_t BMessage::FindRect(const char* name, int32 index, BRect* value) const
{
	return _FindDecoded(name, B_RECT_TYPE, index, value, MorvaneKit::DecodeRect);
}

status_t BMessage::FindRect(const char* name, BRect* value) const
{
	return FindRect(name, 0, value);
}

status_t BMessage::FindPoint(const char* name, int32 index, BPoint* value) const
{
	return _FindDecoded(name, B_POINT_TYPE, index, value, MorvaneKit::DecodePoint);
}

status_t BMessage::FindPoint(const char* name, BPoint* value) const
{
	return FindPoint(name, 0, value);
}

status_t BMessage::FindPointer(const char* name, int32 index, void** value) const
{
	uint64 address;
	status_t status = _FindFixed(name, B_POINTER_TYPE, index, &address);
	if (status == B_OK && value != nullptr)
		*value = reinterpret_cast<void*>(uintptr_t(address));
	return status;
}

status_t BMessage::FindPointer(const char* name, void** value) const
{
	return FindPointer(name, 0, value);
}

status_t BMessage::FindMessenger(const char* name, int32 index, BMessenger* value) const
{
	return _FindDecoded(name, B_MESSENGER_TYPE, index, value, MorvaneKit::DecodeMessenger);
}

status_t BMessage::FindMessenger(const char* name, BMessenger* value) const
{
	return FindMessenger(name, 0, value);
}

status_t BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const
{
	const void* data;
	status_t status = FindData(name, B_REF_TYPE, index, &data, nullptr);
	if (status == B_OK && ref != nullptr)
		ref->path = static_cast<const char*>(data);
	return status;
}

status_t BMessage::FindRef(const char* name, entry_ref* ref) const
{
	return FindRef(name, 0, ref);
}

status_t BMessage::FindMessage(const char* name, int32 index, BMessage* message) const
{
	const void* data;
	ssize_t size;
	status_t status = FindData(name, B_MESSAGE_TYPE, index, &data, &size);
	if (status != B_OK || message == nullptr)
		return status;
	return message->Unflatten(static_cast<const char*>(data), size_t(size));
}

status_t BMessage::FindMessage(const char* name, BMessage* message) const
{
	return FindMessage(name, 0, message);
}

// #pragma mark - getters with defaults

bool BMessage::GetBool(const char* name, bool defaultValue) const
{
	bool value;
	return FindBool(name, &value) == B_OK ? value : defaultValue;
}

int32 BMessage::GetInt32(const char* name, int32 defaultValue) const
{
	return GetInt32(name, 0, defaultValue);
}

int32 BMessage::GetInt32(const char* name, int32 index, int32 defaultValue) const
{
	int32 value;
	return FindInt32(name, index, &value) == B_OK ? value : defaultValue;
}

int64 BMessage::GetInt64(const char* name, int64 defaultValue) const
{
	int64 value;
	return FindInt64(name, &value) == B_OK ? value : defaultValue;
}

const char* BMessage::GetString(const char* name, const char* defaultValue) const
{
	return GetString(name, 0, defaultValue);
}

const char* BMessage::GetString(const char* name, int32 index, const char* defaultValue) const
{
	const char* value;
	return FindString(name, index, &value) == B_OK ? value : defaultValue;
}

// #pragma mark - replacing

status_t BMessage::_ReplaceItem(const char* name, type_code type, int32 index,
	const void* data, size_t size)
{
	return _Built(_OverwriteItem(name, type, index, data, size));
}

status_t BMessage::_OverwriteItem(const char* name, type_code type, int32 index,
	const void* data, size_t size)
{
	if (data == nullptr && size != 0)
		return B_BAD_VALUE;
	Field* field;
	status_t status = _FindField(name, type, &field);
	if (status != B_OK)
		return status;
	if (index < 0 || index >= field->count)
		return B_BAD_INDEX;
	bool isFixedSize = field->IsFixedSize();
	status = MorvaneKit::CheckItem(type, data, size, &isFixedSize);
	if (status != B_OK)
		return status;
	if (field->IsFixedSize() && size != field->itemSize)
		return B_BAD_VALUE;
	field->Replace(index, data, size);
	return B_OK;
}

status_t BMessage::ReplaceData(const char* name, type_code type, int32 index,
	const void* data, ssize_t numBytes)
{
	if (numBytes < 0)
		return _Built(B_BAD_VALUE);
	return _ReplaceItem(name, type, index, data, size_t(numBytes));
}

status_t BMessage::ReplaceData(const char* name, type_code type, const void* data,
	ssize_t numBytes)
{
	return ReplaceData(name, type, 0, data, numBytes);
}

#define MV_REPLACE_FIXED(Name, CType, TypeCode) \
	status_t BMessage::Replace##Name(const char* name, CType value) \
	{ \
		char bytes[sizeof(CType)]; \
		MorvaneKit::StoreLE(bytes, value); \
		return _ReplaceItem(name, TypeCode, 0, bytes, sizeof(bytes)); \
	}

MV_REPLACE_FIXED(Bool, bool, B_BOOL_TYPE)
MV_REPLACE_FIXED(Int8, int8, B_INT8_TYPE)
MV_REPLACE_FIXED(Int16, int16, B_INT16_TYPE)
MV_REPLACE_FIXED(Int32, int32, B_INT32_TYPE)
MV_REPLACE_FIXED(UInt32, uint32, B_UINT32_TYPE)
MV_REPLACE_FIXED(Int64, int64, B_INT64_TYPE)
MV_REPLACE_FIXED(Float, float, B_FLOAT_TYPE)
MV_REPLACE_FIXED(Double, double, B_DOUBLE_TYPE)
MV_REPLACE_FIXED(Time, int32, B_TIME_TYPE)

#undef MV_REPLACE_FIXED

status_t BMessage::ReplaceBool(const char* name, int32 index, bool value)
{
	char byte = value ? 1 : 0;
	return _ReplaceItem(name, B_BOOL_TYPE, index, &byte, 1);
}

status_t BMessage::ReplaceInt32(const char* name, int32 index, int32 value)
{
	char bytes[4];
	MorvaneKit::StoreLE(bytes, value);
	return _ReplaceItem(name, B_INT32_TYPE, index, bytes, sizeof(bytes));
}

status_t BMessage::ReplaceInt64(const char* name, int32 index, int64 value)
{
	char bytes[8];
	MorvaneKit::StoreLE(bytes, value);
	return _ReplaceItem(name, B_INT64_TYPE, index, bytes, sizeof(bytes));
}

status_t BMessage::ReplaceString(const char* name, int32 index, const char* value)
{
	if (value == nullptr)
		return _Built(B_BAD_VALUE);
	return _ReplaceItem(name, B_STRING_TYPE, index, value, strlen(value) + 1);
}

status_t BMessage::ReplaceString(const char* name, const char* value)
{
	return ReplaceString(name, 0, value);
}

status_t BMessage::ReplaceString(const char* name, const std::string& value)
{
	return ReplaceString(name, 0, value.c_str());
}

status_t BMessage::ReplaceRect(const char* name, BRect value)
{
	auto bytes = MorvaneKit::EncodeRect(value);
	return _ReplaceItem(name, B_RECT_TYPE, 0, bytes.data(), bytes.size());
}

status_t BMessage::ReplacePoint(const char* name, BPoint value)
{
	auto bytes = MorvaneKit::EncodePoint(value);
	return _ReplaceItem(name, B_POINT_TYPE, 0, bytes.data(), bytes.size());
}

status_t BMessage::ReplacePointer(const char* name, const void* value)
{
	char bytes[8];
	MorvaneKit::StoreLE(bytes, uint64(reinterpret_cast<uintptr_t>(value)));
	return _ReplaceItem(name, B_POINTER_TYPE, 0, bytes, sizeof(bytes));
}

status_t BMessage::ReplaceMessenger(const char* name, BMessenger value)
{
	auto bytes = MorvaneKit::EncodeMessenger(value);
	return _ReplaceItem(name, B_MESSENGER_TYPE, 0, bytes.data(), bytes.size());
}

status_t BMessage::ReplaceRef(const char* name, const entry_ref* ref)
{
	if (ref == nullptr)
		return _Built(B_BAD_VALUE);
	return _ReplaceItem(name, B_REF_TYPE, 0, ref->path.c_str(), strlen(ref->path.c_str()) + 1);
}

status_t BMessage::ReplaceMessage(const char* name, int32 index, const BMessage* message)
{
	if (message == nullptr)
		return _Built(B_BAD_VALUE);
	std::vector<char> flat;
	status_t status = message->Flatten(&flat);
	if (status != B_OK)
		return _Built(status);
	return _ReplaceItem(name, B_MESSAGE_TYPE, index, flat.data(), flat.size());
}

status_t BMessage::ReplaceMessage(const char* name, const BMessage* message)
{
	return ReplaceMessage(name, 0, message);
}

// #pragma mark - setting

status_t BMessage::_SetItem(const char* name, type_code type, const void* data, size_t size,
	bool isFixedSize)
{
	if (_FindField(name) == nullptr)
		return _AddItem(name, type, data, size, isFixedSize);
	return _ReplaceItem(name, type, 0, data, size);
}

status_t BMessage::SetBool(const char* name, bool value)
{
	char byte = value ? 1 : 0;
	return _SetItem(name, B_BOOL_TYPE, &byte, 1, true);
}

status_t BMessage::SetInt32(const char* name, int32 value)
{
	char bytes[4];
	MorvaneKit::StoreLE(bytes, value);
	return _SetItem(name, B_INT32_TYPE, bytes, sizeof(bytes), true);
}

status_t BMessage::SetRect(const char* name, BRect value)
{
	auto bytes = MorvaneKit::EncodeRect(value);
	return _SetItem(name, B_RECT_TYPE, bytes.data(), bytes.size(), true);
}

status_t BMessage::SetInt64(const char* name, int64 value)
{
	char bytes[8];
	MorvaneKit::StoreLE(bytes, value);
	return _SetItem(name, B_INT64_TYPE, bytes, sizeof(bytes), true);
}

status_t BMessage::SetString(const char* name, const char* value)
{
	if (value == nullptr)
		return _Built(B_BAD_VALUE);
	return _SetItem(name, B_STRING_TYPE, value, strlen(value) + 1, false);
}

status_t BMessage::SetString(const char* name, const std::string& value)
{
	return SetString(name, value.c_str());
}

status_t BMessage::SetMessage(const char* name, const BMessage* message)
{
	if (message == nullptr)
		return _Built(B_BAD_VALUE);
	std::vector<char> flat;
	status_t status = message->Flatten(&flat);
	if (status != B_OK)
		return _Built(status);
	return _SetItem(name, B_MESSAGE_TYPE, flat.data(), flat.size(), false);
}

// #pragma mark - dumping

namespace {

std::string FourCCText(uint32 code)
{
	char text[16];
	bool printable = true;
	for (int shift = 24; shift >= 0; shift -= 8) {
		char c = char((code >> shift) & 0xff);
		printable = printable && c >= 0x20 && c < 0x7f;
	}
	if (printable) {
		snprintf(text, sizeof(text), "'%c%c%c%c'", char(code >> 24), char(code >> 16),
			char(code >> 8), char(code));
	} else {
		snprintf(text, sizeof(text), "0x%08" PRIx32, code);
	}
	return text;
}

// The text of one value; the dump shows 0, false or nothing for what it
// cannot read, so the Find results below are dropped.
std::string ItemText(const BMessage& message, const char* name, type_code type, int32 index)
{
	char text[64];
	switch (type) {
		case B_STRING_TYPE:
			return std::string("\"") + message.GetString(name, index, "") + "\"";
		case B_INT32_TYPE:
			snprintf(text, sizeof(text), "%" PRId32, message.GetInt32(name, index, 0));
			return text;
		case B_TIME_TYPE: {
			int32 seconds = 0;
			(void)message.FindTime(name, index, &seconds);
			snprintf(text, sizeof(text), "%" PRId32 " s", seconds);
			return text;
		}
		case B_INT64_TYPE: {
			int64 value = 0;
			(void)message.FindInt64(name, index, &value);
			snprintf(text, sizeof(text), "%" PRId64, value);
			return text;
		}
		case B_BOOL_TYPE: {
			bool value = false;
			(void)message.FindBool(name, index, &value);
			return value ? "true" : "false";
		}
		case B_MESSAGE_TYPE: {
			BMessage nested;
			(void)message.FindMessage(name, index, &nested);
			return nested.ToString();
		}
		default: {
			ssize_t size = 0;
			(void)message.FindData(name, type, index, nullptr, &size);
			snprintf(text, sizeof(text), "<%zd bytes>", size);
			return text;
		}
	}
}

}	// namespace

std::string BMessage::ToString() const
{
	std::string text = "BMessage(" + FourCCText(what) + ") {";
	for (const Field& field : fFields) {
		text += " " + field.name + " " + FourCCText(field.type) + " [";
		for (int32 i = 0; i < field.count; i++) {
			if (i > 0)
				text += ", ";
			text += ItemText(*this, field.name.c_str(), field.type, i);
		}
		text += "]";
	}
	return text + " }";
}

void BMessage::PrintToStream() const
{
	printf("%s\n", ToString().c_str());
}
