#include "Preferences.h"

#include <cstring>
#include <new>

#include <storage/AtomicFileWriter.h>
#include <storage/File.h>
#include <storage/StorageDefs.h>

namespace {

const char* const kLanguageKey = "MV_LANGUAGE";
const char* const kAutoPrefsKey = "MV_AUTOPREFS";
const char* const kMainWindowKey = "MV_MAINWINPOS";

int32 StatusForLoad(status_t status)
{
	return status == B_NO_MEMORY ? Preferences::kNoMemory : Preferences::kBadContent;
}

int32 StatusForSave(status_t status)
{
	return status == B_NO_MEMORY ? Preferences::kNoMemory : Preferences::kWriteError;
}

}	// namespace


Preferences::Preferences(const char* path, const char* identifier)
{
	if (SetName(path) != kOK || SetKennung(identifier) != kOK) {
		fStatus = kNoMemory;
		return;
	}
	BFile file;
	status_t status = file.SetTo(fName.c_str(), B_READ_ONLY);
	if (status == B_OK) {
		fStatus = LoadData(&file);
		return;
	}
	Reset();
	// Only a missing file means "no settings yet"; a file that is there but
	// unreadable must not pass for one, or the next Save() would replace
	// the user's settings with the defaults unnoticed.
	if (status != B_ENTRY_NOT_FOUND)
		fStatus = kCannotOpen;
}


Preferences::~Preferences() = default;


int32 Preferences::Load()
{
	if (fName.empty())
		return fStatus = kNoFileName;
	if (!fHasKennung)
		return fStatus = kNoMemory;
	BFile file;
	if (file.SetTo(fName.c_str(), B_READ_ONLY) != B_OK)
		return fStatus = kCannotOpen;
	return LoadData(&file);
}


int32 Preferences::Save()
{
	if (fName.empty())
		return fStatus = kNoFileName;
	if (!fHasKennung)
		return fStatus = kNoMemory;
	// The new file replaces the old one by a rename, which a file that may
	// not be written would not stop on its own.
	if (!_IsWritableOrMissing())
		return fStatus = kCannotOpen;
	// Preferences may hold passwords: a new file is its user's alone.
	AtomicFileWriter writer;
	if (writer.SetTo(fName.c_str(), 0600) != B_OK)
		return fStatus = kCannotOpen;
	if (SaveData(writer.File()) != kOK)
		return fStatus;
	if (writer.Commit() != B_OK)
		return fStatus = kWriteError;
	return fStatus;
}


bool Preferences::_IsWritableOrMissing() const
{
	BFile file;
	status_t status = file.SetTo(fName.c_str(), B_WRITE_ONLY);
	return status == B_OK || status == B_ENTRY_NOT_FOUND;
}


int32 Preferences::Reset()
{
	FreeData();
	bool added = AddString(kLanguageKey, "English") == B_OK
		&& AddInt8(kAutoPrefsKey, 1) == B_OK
		&& AddRect(kMainWindowKey, BRect(0, 0, 0, 0)) == B_OK;
	return fStatus = added ? kOK : kNoMemory;
}


int32 Preferences::SetName(const char* path)
{
	if (path == nullptr)
		return kNoMemory;
	try {
		fName = path;
	} catch (const std::bad_alloc&) {
		return kNoMemory;
	}
	return kOK;
}


int32 Preferences::SetKennung(const char* identifier)
{
	if (identifier == nullptr || strlen(identifier) != kIdentifierLength)
		return kNoMemory;
	memcpy(fKennung, identifier, kIdentifierLength);
	fHasKennung = true;
	return kOK;
}


int32 Preferences::LoadData(BPositionIO* file)
{
	FreeData();
	fStatus = file != nullptr ? _ReadBody(file) : kBadContent;
	if (fStatus != kOK) {
		FreeData();
		return fStatus;
	}
	type_code type;
	if (GetInfo(kLanguageKey, &type) == B_OK && type == B_INT8_TYPE)
		(void)RemoveName(kLanguageKey);
	return fStatus;
}


int32 Preferences::_ReadBody(BPositionIO* file)
{
	if (!fHasKennung)
		return kNoMemory;
	char header[kHeaderSize];
	if (file->Seek(0, SEEK_SET) != 0 || file->ReadExactly(header, sizeof(header)) != B_OK)
		return kBadContent;
	if (memcmp(header, fKennung, kIdentifierLength) != 0)
		return kBadContent;

	BMessage fields;
	status_t status = fields.Unflatten(file);
	if (status != B_OK)
		return StatusForLoad(status);
	// The body is exactly one message; anything after it means the file is
	// not one this store wrote.
	char extra;
	if (file->Read(&extra, 1) != 0)
		return kBadContent;
	static_cast<BMessage&>(*this) = std::move(fields);
	return kOK;
}


int32 Preferences::SaveData(BPositionIO* file)
{
	if (!fHasKennung)
		return fStatus = kNoMemory;
	if (file == nullptr)
		return fStatus = kWriteError;
	if (file->Seek(0, SEEK_SET) != 0)
		return fStatus = kWriteError;
	char header[kHeaderSize] = {};
	memcpy(header, fKennung, kIdentifierLength);
	if (file->WriteExactly(header, sizeof(header)) != B_OK)
		return fStatus = kWriteError;
	status_t status = Flatten(file);
	return fStatus = status == B_OK ? kOK : StatusForSave(status);
}


void Preferences::FreeData()
{
	(void)MakeEmpty();
}


template<typename AddFunction, typename ReplaceFunction>
status_t Preferences::_Set(const char* key, type_code type, AddFunction add,
	ReplaceFunction replace)
{
	if (key == nullptr)
		return B_BAD_VALUE;
	type_code stored;
	if (GetInfo(key, &stored) != B_OK)
		return add();
	if (stored != type)
		return B_BAD_TYPE;
	return replace();
}


status_t Preferences::Set(const char* key, int8 value)
{
	return _Set(key, B_INT8_TYPE,
		[&] { return AddInt8(key, value); },
		[&] { return ReplaceInt8(key, value); });
}


status_t Preferences::Set(const char* key, int16 value)
{
	return _Set(key, B_INT16_TYPE,
		[&] { return AddInt16(key, value); },
		[&] { return ReplaceInt16(key, value); });
}


status_t Preferences::Set(const char* key, int32 value)
{
	return _Set(key, B_INT32_TYPE,
		[&] { return AddInt32(key, value); },
		[&] { return ReplaceInt32(key, value); });
}


status_t Preferences::Set(const char* key, int64 value)
{
	return _Set(key, B_INT64_TYPE,
		[&] { return AddInt64(key, value); },
		[&] { return ReplaceInt64(key, value); });
}


status_t Preferences::Set(const char* key, float value)
{
	return _Set(key, B_FLOAT_TYPE,
		[&] { return AddFloat(key, value); },
		[&] { return ReplaceFloat(key, value); });
}


status_t Preferences::Set(const char* key, const char* value)
{
	if (value == nullptr)
		return B_BAD_VALUE;
	return _Set(key, B_STRING_TYPE,
		[&] { return AddString(key, value); },
		[&] { return ReplaceString(key, value); });
}


status_t Preferences::Set(const char* key, const std::string& value)
{
	return Set(key, value.c_str());
}


status_t Preferences::Set(const char* key, BRect value)
{
	return _Set(key, B_RECT_TYPE,
		[&] { return AddRect(key, value); },
		[&] { return ReplaceRect(key, value); });
}


status_t Preferences::Set(const char* key, const BMessage& value)
{
	return _Set(key, B_MESSAGE_TYPE,
		[&] { return AddMessage(key, &value); },
		[&] { return ReplaceMessage(key, &value); });
}


status_t Preferences::Set(const char* key, rgb_color value)
{
	const uint8 bytes[4] = {value.red, value.green, value.blue, value.alpha};
	return _Set(key, B_RGB_COLOR_TYPE,
		[&] { return AddData(key, B_RGB_COLOR_TYPE, bytes, sizeof(bytes)); },
		[&] { return ReplaceData(key, B_RGB_COLOR_TYPE, 0, bytes, sizeof(bytes)); });
}


int8 Preferences::GetInt8(const char* key, int8 defaultValue) const
{
	int8 value;
	return FindInt8(key, &value) == B_OK ? value : defaultValue;
}


int16 Preferences::GetInt16(const char* key, int16 defaultValue) const
{
	int16 value;
	return FindInt16(key, &value) == B_OK ? value : defaultValue;
}


int32 Preferences::GetInt32(const char* key, int32 defaultValue) const
{
	int32 value;
	return FindInt32(key, &value) == B_OK ? value : defaultValue;
}


int64 Preferences::GetInt64(const char* key, int64 defaultValue) const
{
	int64 value;
	return FindInt64(key, &value) == B_OK ? value : defaultValue;
}


float Preferences::GetFloat(const char* key, float defaultValue) const
{
	float value;
	return FindFloat(key, &value) == B_OK ? value : defaultValue;
}


const char* Preferences::GetString(const char* key, const char* defaultValue) const
{
	const char* value;
	return FindString(key, &value) == B_OK ? value : defaultValue;
}


BRect Preferences::GetRect(const char* key, BRect defaultValue) const
{
	BRect value;
	return FindRect(key, &value) == B_OK ? value : defaultValue;
}


BRect Preferences::GetRect(const char* key) const
{
	return GetRect(key, BRect(0, 0, 0, 0));
}


rgb_color Preferences::GetColor(const char* key, rgb_color defaultValue) const
{
	const void* data;
	ssize_t size;
	// The field may come from a file: its size is checked, not assumed.
	if (FindData(key, B_RGB_COLOR_TYPE, &data, &size) != B_OK || size != 4)
		return defaultValue;
	const uint8* bytes = static_cast<const uint8*>(data);
	return rgb_color{bytes[0], bytes[1], bytes[2], bytes[3]};
}


BMessage* Preferences::GetMessage(const char* key, BMessage* defaultValue) const
{
	BMessage* message = new(std::nothrow) BMessage;
	if (message == nullptr || FindMessage(key, message) != B_OK) {
		delete message;
		return defaultValue;
	}
	return message;
}


BMessage Preferences::GetMessageData(const char* key) const
{
	BMessage message;
	if (FindMessage(key, &message) != B_OK)
		return BMessage();
	return message;
}
