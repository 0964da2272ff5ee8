#include "MVVolumeOrg.h"

MVVolumeOrg::MVVolumeOrg(const char* name, const BMessage* settings, const AddOnLoader& loader)
	:
	fLoader(loader)
{
	if (name != nullptr || settings != nullptr)
		SetTo(name, settings);
}

MVVolumeOrg::~MVVolumeOrg()
{
	Unset();
}

int32 MVVolumeOrg::SetTo(const char* name, const BMessage* settings)
{
	if (fVolume != nullptr)
		Unset();
	if (name == nullptr || name[0] == '\0')
		return 1;
	fVolume = fLoader.LoadDestination(name, settings, &fImage);
	return fVolume != nullptr ? 0 : 2;
}

void MVVolumeOrg::Unset()
{
	// The object's code lives in the image, so it goes first.
	delete fVolume;
	fVolume = nullptr;
	AddOnLoader::Free(&fImage);
}

int32 MVVolumeOrg::GetType()
{
	return fVolume != nullptr ? fVolume->GetType() : 0;
}

bool MVVolumeOrg::IsOverwrite()
{
	return fVolume != nullptr && fVolume->IsOverwrite();
}

int64 MVVolumeOrg::GetCapacity()
{
	return fVolume != nullptr ? fVolume->GetCapacity() : -1;
}

int64 MVVolumeOrg::GetFreeSpace()
{
	return fVolume != nullptr ? fVolume->GetFreeSpace() : -1;
}

bool MVVolumeOrg::IsRemovable()
{
	return fVolume != nullptr && fVolume->IsRemovable();
}

bool MVVolumeOrg::IsReadOnly()
{
	return fVolume == nullptr || fVolume->IsReadOnly();
}

bool MVVolumeOrg::IsShared()
{
	return fVolume != nullptr && fVolume->IsShared();
}

void MVVolumeOrg::SetOverwrite(bool overwrite)
{
	if (fVolume != nullptr)
		fVolume->SetOverwrite(overwrite);
}

void MVVolumeOrg::SetRemovable(bool removable)
{
	if (fVolume != nullptr)
		fVolume->SetRemovable(removable);
}

const char* MVVolumeOrg::Name()
{
	return fVolume != nullptr ? fVolume->Name() : nullptr;
}

void MVVolumeOrg::GetName(char* buffer, size_t size)
{
	if (fVolume != nullptr)
		fVolume->GetName(buffer, size);
}

void MVVolumeOrg::SetName(const char* name)
{
	if (fVolume != nullptr)
		fVolume->SetName(name);
}

void MVVolumeOrg::Settings(BWindow* parent, BHandler* target)
{
	if (fVolume != nullptr)
		fVolume->Settings(parent, target, nullptr);
}

void MVVolumeOrg::SetWinPos(BRect frame)
{
	if (fVolume != nullptr)
		fVolume->SetWinPos(frame);
}

void MVVolumeOrg::SetPref(const BMessage* settings)
{
	if (fVolume != nullptr && settings != nullptr)
		fVolume->SetPref(*settings);
}

void MVVolumeOrg::GetPref(BMessage* settings)
{
	if (fVolume != nullptr)
		fVolume->GetPref(settings);
}

int32 MVVolumeOrg::Delete(const char* name)
{
	return fVolume != nullptr ? fVolume->Delete(name) : -1;
}

int32 MVVolumeOrg::Start(const char* name, int32 mode)
{
	return fVolume != nullptr ? fVolume->Start(name, mode) : -1;
}

int32 MVVolumeOrg::Stop()
{
	return fVolume != nullptr ? fVolume->Stop() : -1;
}

int64 MVVolumeOrg::Write(const void* buffer, int64 length)
{
	return fVolume != nullptr ? fVolume->Write(buffer, length) : -1;
}

int64 MVVolumeOrg::Seek(int64 offset, int32 origin)
{
	return fVolume != nullptr ? fVolume->Seek(offset, origin) : -1;
}

int64 MVVolumeOrg::Read(void* buffer, int64 length)
{
	return fVolume != nullptr ? fVolume->Read(buffer, length) : -1;
}

const char* MVVolumeOrg::MenuName()
{
	return fVolume != nullptr ? fVolume->MenuName() : nullptr;
}

void MVVolumeOrg::GetMenuName(char* buffer, size_t size)
{
	if (fVolume != nullptr)
		fVolume->GetMenuName(buffer, size);
}

int32 MVVolumeOrg::FindFirst(mvvol_fib* info)
{
	return fVolume != nullptr ? fVolume->FindFirst(info) : 1;
}

int32 MVVolumeOrg::FindNext(mvvol_fib* info)
{
	return fVolume != nullptr ? fVolume->FindNext(info) : 1;
}
