#include "MVVolume.h"

#include <cstring>
#include <new>

namespace {

constexpr const char* kClassName = "MVVolume";

}	// namespace


MVVolume::MVVolume() = default;


MVVolume::~MVVolume() = default;


status_t MVVolume::Archive(BMessage* into, bool deep) const
{
	if (into == nullptr)
		return B_BAD_VALUE;
	const char* name = Name();
	BRect frame;
	if (fSettings.FindRect(kVolumeWindowFrameKey, &frame) != B_OK)
		frame = BRect();
	status_t status = into->AddString(kArchiveClassKey, kClassName);
	if (status == B_OK)
		status = into->AddString(kVolumeNameKey, name != nullptr ? name : "");
	if (status == B_OK)
		status = into->AddBool(kVolumeOverwriteKey, IsOverwrite());
	if (status == B_OK)
		status = into->AddBool(kVolumeRemovableKey, fSettings.GetBool(kVolumeRemovableKey));
	if (status == B_OK)
		status = into->AddRect(kVolumeWindowFrameKey, frame);
	return status;
}


int32 MVVolume::GetType()
{
	return kVolumeTypeBase;
}


bool MVVolume::IsOverwrite() const
{
	return fSettings.GetBool(kVolumeOverwriteKey);
}


int64 MVVolume::GetCapacity()
{
	return -1;
}


int64 MVVolume::GetFreeSpace()
{
	return -1;
}


bool MVVolume::IsRemovable()
{
	return fSettings.GetBool(kVolumeRemovableKey);
}


bool MVVolume::IsReadOnly()
{
	return true;
}


bool MVVolume::IsShared()
{
	return false;
}


void MVVolume::SetOverwrite(bool overwrite)
{
	_SetBool(kVolumeOverwriteKey, overwrite);
}


void MVVolume::SetRemovable(bool removable)
{
	_SetBool(kVolumeRemovableKey, removable);
}


const char* MVVolume::Name() const
{
	return fSettings.GetString(kVolumeNameKey);
}


void MVVolume::GetName(char* buffer, size_t size)
{
	const char* name = Name();
	_CopyText(name != nullptr ? name : "", buffer, size);
}


void MVVolume::SetName(const char* name)
{
	_SetString(kVolumeNameKey, name);
}


void MVVolume::Settings(BWindow* parent, BHandler* target, const char* language)
{
}


void MVVolume::SetWinPos(BRect frame)
{
	_SetRect(kVolumeWindowFrameKey, frame);
}


void MVVolume::SetPref(BMessage settings)
{
	fSettings = std::move(settings);
}


void MVVolume::GetPref(BMessage* settings)
{
	if (settings != nullptr)
		*settings = fSettings;
}


int32 MVVolume::Delete(const char* name)
{
	return -1;
}


int32 MVVolume::Start(const char* name, int32 mode)
{
	return -1;
}


int32 MVVolume::Stop()
{
	return -1;
}


int64 MVVolume::Write(const void* buffer, int64 length)
{
	return -1;
}


int64 MVVolume::Seek(int64 offset, int32 origin)
{
	return -1;
}


int64 MVVolume::Read(void* buffer, int64 length)
{
	return -1;
}


const char* MVVolume::MenuName()
{
	return nullptr;
}


void MVVolume::GetMenuName(char* buffer, size_t size)
{
	const char* name = MenuName();
	if (name != nullptr)
		_CopyText(name, buffer, size);
}


int32 MVVolume::FindFirst(mvvol_fib* info)
{
	return 1;
}


int32 MVVolume::FindNext(mvvol_fib* info)
{
	return 1;
}


int32 MVVolume::Eject()
{
	return 1;
}


MVVolume* MVVolume::Instantiate(BMessage* archive)
{
	if (!IsArchiveOf(archive, kClassName))
		return nullptr;
	MVVolume* volume = new (std::nothrow) MVVolume;
	if (volume == nullptr)
		return nullptr;
	// Only values of the right type come over: an archive is read from
	// files and other processes.
	if (const char* name = archive->GetString(kVolumeNameKey))
		volume->SetName(name);
	bool flag;
	if (archive->FindBool(kVolumeOverwriteKey, &flag) == B_OK)
		volume->SetOverwrite(flag);
	if (archive->FindBool(kVolumeRemovableKey, &flag) == B_OK)
		volume->SetRemovable(flag);
	BRect frame;
	if (archive->FindRect(kVolumeWindowFrameKey, &frame) == B_OK)
		volume->SetWinPos(frame);
	return volume;
}


bool MVVolume::IsArchiveOf(const BMessage* archive, const char* className)
{
	if (archive == nullptr || className == nullptr)
		return false;
	const char* entry;
	for (int32 index = 0; archive->FindString(kArchiveClassKey, index, &entry) == B_OK; index++) {
		if (strcmp(entry, className) == 0)
			return true;
	}
	return false;
}


void MVVolume::_SetBool(const char* key, bool value)
{
	// Settings come from files; a key of another type is replaced whole.
	if (fSettings.SetBool(key, value) != B_OK) {
		fSettings.RemoveName(key);
		fSettings.AddBool(key, value);
	}
}


void MVVolume::_SetString(const char* key, const char* value)
{
	if (value == nullptr) {
		fSettings.RemoveName(key);
		return;
	}
	if (fSettings.SetString(key, value) != B_OK) {
		fSettings.RemoveName(key);
		fSettings.AddString(key, value);
	}
}


void MVVolume::_SetRect(const char* key, BRect value)
{
	if (fSettings.ReplaceRect(key, value) != B_OK) {
		fSettings.RemoveName(key);
		fSettings.AddRect(key, value);
	}
}


void MVVolume::_CopyText(const char* text, char* buffer, size_t size)
{
	if (buffer == nullptr || size == 0)
		return;
	size_t length = strnlen(text, size - 1);
	memcpy(buffer, text, length);
	buffer[length] = '\0';
}


const char* MVVolume::MediumName()
{
	return nullptr;
}
