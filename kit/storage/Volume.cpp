#include <storage/Volume.h>

#include <algorithm>
#include <cstring>

#include <kernel/fs_info.h>
#include <storage/Directory.h>
#include <storage/VolumeTable.h>

#include "StoragePrivate.h"

BVolume::BVolume(dev_t device)
{
	(void)SetTo(device);
}


status_t BVolume::SetTo(dev_t device)
{
	VolumeTable::Volume volume;
	fStatus = VolumeTable::GetVolume(device, &volume);
	fDevice = fStatus == B_OK ? device : 0;
	return fStatus;
}


void BVolume::Unset()
{
	fDevice = 0;
	fStatus = B_NO_INIT;
}


status_t BVolume::GetName(char* name) const
{
	if (name == nullptr)
		return B_BAD_VALUE;
	VolumeTable::Volume volume;
	status_t status = fStatus == B_OK ? VolumeTable::GetVolume(fDevice, &volume) : fStatus;
	if (status != B_OK)
		return status;
	size_t length = std::min(volume.name.size(), B_FILE_NAME_LENGTH - 1);
	memcpy(name, volume.name.data(), length);
	name[length] = '\0';
	return B_OK;
}


status_t BVolume::GetRootDirectory(BDirectory* directory) const
{
	if (directory == nullptr)
		return B_BAD_VALUE;
	VolumeTable::Volume volume;
	status_t status = fStatus == B_OK ? VolumeTable::GetVolume(fDevice, &volume) : fStatus;
	if (status != B_OK)
		return status;
	std::string path = "/";
	path += volume.isBoot ? VolumeTable::kBootAlias : volume.name.c_str();
	return directory->SetTo(path.c_str());
}


off_t BVolume::Capacity() const
{
	VolumeTable::Volume volume;
	status_t status = fStatus == B_OK ? VolumeTable::GetVolume(fDevice, &volume) : fStatus;
	off_t capacity;
	off_t freeBytes;
	if (status == B_OK)
		status = VolumeTable::GetSpace(volume, &capacity, &freeBytes);
	return status == B_OK ? capacity : off_t(status);
}


off_t BVolume::FreeBytes() const
{
	VolumeTable::Volume volume;
	status_t status = fStatus == B_OK ? VolumeTable::GetVolume(fDevice, &volume) : fStatus;
	off_t capacity;
	off_t freeBytes;
	if (status == B_OK)
		status = VolumeTable::GetSpace(volume, &capacity, &freeBytes);
	return status == B_OK ? freeBytes : off_t(status);
}


off_t BVolume::BlockSize() const
{
	fs_info info;
	status_t status = fStatus == B_OK ? fs_stat_dev(fDevice, &info) : fStatus;
	return status == B_OK ? info.block_size : off_t(status);
}


bool BVolume::_HasFlag(uint32 flag) const
{
	VolumeTable::Volume volume;
	return fStatus == B_OK && VolumeTable::GetVolume(fDevice, &volume) == B_OK
		&& (MorvaneKit::VolumeFlags(volume) & flag) != 0;
}


bool BVolume::IsReadOnly() const
{
	return _HasFlag(B_FS_IS_READONLY);
}


bool BVolume::IsRemovable() const
{
	return _HasFlag(B_FS_IS_REMOVABLE);
}


bool BVolume::IsPersistent() const
{
	return _HasFlag(B_FS_IS_PERSISTENT);
}


bool BVolume::IsShared() const
{
	return _HasFlag(B_FS_IS_SHARED);
}


bool BVolume::KnowsAttr() const
{
	return _HasFlag(B_FS_HAS_ATTR);
}


bool BVolume::KnowsMime() const
{
	return _HasFlag(B_FS_HAS_MIME);
}


bool BVolume::KnowsQuery() const
{
	return _HasFlag(B_FS_HAS_QUERY);
}


bool BVolume::operator==(const BVolume& other) const
{
	return fDevice == other.fDevice && fStatus == B_OK && other.fStatus == B_OK;
}
