#include <kernel/fs_info.h>
#include <kernel/fs_index.h>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cstring>

#include <storage/VolumeTable.h>

#include "StoragePrivate.h"

namespace {

template<size_t Size>
void CopyName(char (&target)[Size], const std::string& source)
{
	size_t length = std::min(source.size(), Size - 1);
	memcpy(target, source.data(), length);
	target[length] = '\0';
}


status_t CheckIndexCall(dev_t device, const char* name)
{
	VolumeTable::Volume volume;
	if (name == nullptr || name[0] == '\0')
		return B_BAD_VALUE;
	return VolumeTable::GetVolume(device, &volume);
}

}	// namespace


namespace MorvaneKit {

uint32 VolumeFlags(const VolumeTable::Volume& volume)
{
	uint32 flags = 0;
	if (volume.readOnly)
		flags |= B_FS_IS_READONLY;
	if (volume.removable)
		flags |= B_FS_IS_REMOVABLE;
	if (volume.persistent)
		flags |= B_FS_IS_PERSISTENT;
	if (volume.shared)
		flags |= B_FS_IS_SHARED;
	// MIME types are kept in an attribute, so they come with attributes.
	if (volume.knowsAttributes)
		flags |= B_FS_HAS_ATTR | B_FS_HAS_MIME;
	return flags;
}

}	// namespace MorvaneKit


status_t fs_stat_dev(dev_t device, fs_info* info)
{
	if (info == nullptr)
		return B_BAD_VALUE;
	VolumeTable::Volume volume;
	status_t status = VolumeTable::GetVolume(device, &volume);
	if (status != B_OK)
		return status;
	struct statvfs space;
	struct stat root;
	if (statvfs(volume.folder.c_str(), &space) != 0 || stat(volume.folder.c_str(), &root) != 0)
		return StatusFromErrno();
	off_t capacity;
	off_t freeBytes;
	status = VolumeTable::GetSpace(volume, &capacity, &freeBytes);
	if (status != B_OK)
		return status;

	memset(info, 0, sizeof(*info));
	info->dev = volume.device;
	info->root = root.st_ino;
	info->flags = MorvaneKit::VolumeFlags(volume);
	info->block_size = space.f_frsize > 0 ? off_t(space.f_frsize) : 4096;
	// A folder volume of fixed size counts in its own blocks, or in bytes.
	if (volume.fixedSize >= 0)
		info->block_size = volume.blockSize > 0 ? volume.blockSize : 1;
	info->io_size = space.f_bsize > 0 ? off_t(space.f_bsize) : info->block_size;
	info->total_blocks = capacity / info->block_size;
	info->free_blocks = freeBytes / info->block_size;
	info->total_nodes = off_t(space.f_files);
	info->free_nodes = off_t(space.f_ffree);
	CopyName(info->device_name, volume.deviceName);
	CopyName(info->volume_name, volume.name);
	CopyName(info->fsh_name, volume.fileSystem);
	return B_OK;
}


int32 dev_for_path(const char* path)
{
	VolumeTable::Location location;
	status_t status = VolumeTable::Locate(path, &location);
	if (status != B_OK)
		return status;
	if (location.IsRoot())
		return B_BAD_VALUE;
	return int32(location.device);
}


int32 next_dev(int32* cookie)
{
	VolumeTable::Volume volume;
	status_t status = VolumeTable::GetNextVolume(cookie, &volume);
	return status == B_OK ? int32(volume.device) : status;
}


status_t fs_create_index(dev_t device, const char* name, uint32 type, uint32 flags)
{
	return CheckIndexCall(device, name);
}


status_t fs_remove_index(dev_t device, const char* name)
{
	return CheckIndexCall(device, name);
}


status_t fs_stat_index(dev_t device, const char* name, index_info* info)
{
	if (info == nullptr)
		return B_BAD_VALUE;
	status_t status = CheckIndexCall(device, name);
	if (status != B_OK)
		return status;
	memset(info, 0, sizeof(*info));
	return B_OK;
}
