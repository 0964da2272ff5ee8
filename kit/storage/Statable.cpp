#include <storage/Statable.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include <storage/Volume.h>

#include "NodeRegistry.h"

namespace {

// The virtual root: a folder nobody may change.
void FillVirtualRoot(struct stat* status)
{
	memset(status, 0, sizeof(*status));
	status->st_mode = S_IFDIR | 0555;
	status->st_nlink = 2;
}


bool HasMode(const BStatable& statable, mode_t type)
{
	struct stat status;
	return statable.GetStat(&status) == B_OK && (status.st_mode & S_IFMT) == type;
}

// Reads one value of the stat data.
template<typename T, typename Extract>
status_t GetStatField(const BStatable& statable, T* value, Extract extract)
{
	if (value == nullptr)
		return B_BAD_VALUE;
	struct stat status;
	status_t result = statable.GetStat(&status);
	if (result == B_OK)
		*value = extract(status);
	return result;
}

// Owner and group of the node held: through its descriptor (also one
// opened O_PATH, such as a link's), by its path only when there is none.
status_t ChangeOwner(int fd, bool fdAllowsIO, const std::string& native, uid_t owner,
	gid_t group)
{
	int error;
	if (fdAllowsIO)
		error = fchown(fd, owner, group);
	else if (fd >= 0)
		error = fchownat(fd, "", owner, group, AT_EMPTY_PATH);
	else
		error = fchownat(AT_FDCWD, native.c_str(), owner, group, AT_SYMLINK_NOFOLLOW);
	return error == 0 ? B_OK : StatusFromErrno();
}

}	// namespace


status_t BStatable::GetStat(struct stat* status) const
{
	if (status == nullptr)
		return B_BAD_VALUE;
	StatTarget target;
	status_t result = _GetStatTarget(&target);
	if (result != B_OK)
		return result;
	if (target.isVirtualRoot) {
		FillVirtualRoot(status);
		return B_OK;
	}
	int error = target.fd >= 0 ? fstat(target.fd, status)
		: lstat(target.native.c_str(), status);
	if (error != 0)
		return StatusFromErrno();
	status->st_dev = target.device;
	return B_OK;
}


bool BStatable::IsFile() const
{
	return HasMode(*this, S_IFREG);
}


bool BStatable::IsDirectory() const
{
	return HasMode(*this, S_IFDIR);
}


bool BStatable::IsSymLink() const
{
	return HasMode(*this, S_IFLNK);
}


bool BStatable::IsMountPoint() const
{
	StatTarget target;
	if (_GetStatTarget(&target) != B_OK || target.isVirtualRoot)
		return false;
	struct stat self;
	struct stat parent;
	// The real devices are compared here, not the volume ids GetStat()
	// reports: pseudo file systems such as /proc belong to no volume.
	if (lstat(target.native.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)
		|| lstat((target.native + "/..").c_str(), &parent) != 0) {
		return false;
	}
	return self.st_dev != parent.st_dev;
}


status_t BStatable::GetNodeRef(node_ref* ref) const
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	StatTarget target;
	status_t result = _GetStatTarget(&target);
	if (result != B_OK)
		return result;
	struct stat status;
	result = GetStat(&status);
	if (result != B_OK)
		return result;
	*ref = node_ref(status.st_dev, status.st_ino);
	// watch_node() finds the node again through this.
	if (!target.isVirtualRoot)
		MorvaneKit::RememberNode(*ref, target.native);
	return B_OK;
}


status_t BStatable::GetOwner(uid_t* owner) const
{
	return GetStatField(*this, owner,
		[](const struct stat& status) { return uid_t(status.st_uid); });
}


status_t BStatable::GetGroup(gid_t* group) const
{
	return GetStatField(*this, group,
		[](const struct stat& status) { return gid_t(status.st_gid); });
}


status_t BStatable::GetPermissions(mode_t* permissions) const
{
	return GetStatField(*this, permissions,
		[](const struct stat& status) { return mode_t(status.st_mode & 07777); });
}


status_t BStatable::GetSize(off_t* size) const
{
	return GetStatField(*this, size,
		[](const struct stat& status) { return off_t(status.st_size); });
}


status_t BStatable::GetModificationTime(time_t* time) const
{
	return GetStatField(*this, time,
		[](const struct stat& status) { return time_t(status.st_mtim.tv_sec); });
}


status_t BStatable::GetAccessTime(time_t* time) const
{
	return GetStatField(*this, time,
		[](const struct stat& status) { return time_t(status.st_atim.tv_sec); });
}


status_t BStatable::GetCreationTime(time_t* time) const
{
	if (time == nullptr)
		return B_BAD_VALUE;
	StatTarget target;
	status_t result = _GetStatTarget(&target);
	if (result != B_OK)
		return result;
	if (target.isVirtualRoot) {
		*time = 0;
		return B_OK;
	}
	struct statx status;
	unsigned int mask = STATX_BTIME | STATX_CTIME;
	int error = target.fd >= 0
		? statx(target.fd, "", AT_EMPTY_PATH, mask, &status)
		: statx(AT_FDCWD, target.native.c_str(), AT_SYMLINK_NOFOLLOW, mask, &status);
	if (error != 0)
		return StatusFromErrno();
	*time = (status.stx_mask & STATX_BTIME) != 0 ? status.stx_btime.tv_sec
		: status.stx_ctime.tv_sec;
	return B_OK;
}


status_t BStatable::SetCreationTime(time_t time)
{
	StatTarget target;
	status_t result = _WritableTarget(&target);
	return result != B_OK ? result : B_NOT_SUPPORTED;
}


status_t BStatable::SetModificationTime(time_t time)
{
	struct timespec times[2] = { { 0, UTIME_OMIT }, { time, 0 } };
	return _SetTimes(times);
}


status_t BStatable::SetAccessTime(time_t time)
{
	struct timespec times[2] = { { time, 0 }, { 0, UTIME_OMIT } };
	return _SetTimes(times);
}


status_t BStatable::SetModificationAndAccessTime(time_t modification, time_t access)
{
	struct timespec times[2] = { { access, 0 }, { modification, 0 } };
	return _SetTimes(times);
}


status_t BStatable::SetOwner(uid_t owner)
{
	StatTarget target;
	status_t result = _WritableTarget(&target);
	if (result != B_OK)
		return result;
	return ChangeOwner(target.fd, target.fdAllowsIO, target.native, owner, gid_t(-1));
}


status_t BStatable::SetGroup(gid_t group)
{
	StatTarget target;
	status_t result = _WritableTarget(&target);
	if (result != B_OK)
		return result;
	return ChangeOwner(target.fd, target.fdAllowsIO, target.native, uid_t(-1), group);
}


status_t BStatable::SetPermissions(mode_t permissions)
{
	StatTarget target;
	status_t result = _WritableTarget(&target);
	if (result != B_OK)
		return result;
	permissions &= 07777;
	if (target.fdAllowsIO)
		return fchmod(target.fd, permissions) == 0 ? B_OK : StatusFromErrno();
	// Linux keeps no permissions of its own on a symbolic link.
	struct stat status;
	if (lstat(target.native.c_str(), &status) != 0)
		return StatusFromErrno();
	if (S_ISLNK(status.st_mode))
		return B_NOT_SUPPORTED;
	return chmod(target.native.c_str(), permissions) == 0 ? B_OK : StatusFromErrno();
}


status_t BStatable::GetVolume(BVolume* volume) const
{
	if (volume == nullptr)
		return B_BAD_VALUE;
	StatTarget target;
	status_t result = _GetStatTarget(&target);
	if (result != B_OK)
		return result;
	if (target.isVirtualRoot)
		return B_BAD_VALUE;
	return volume->SetTo(target.device);
}


status_t BStatable::_SetTimes(const struct timespec times[2])
{
	StatTarget target;
	status_t result = _WritableTarget(&target);
	if (result != B_OK)
		return result;
	int error;
	if (target.fdAllowsIO) {
		error = futimens(target.fd, times);
	} else {
		// Through the descriptor where the kernel allows it, so that the
		// node held is the one changed; else by its path.
		error = target.fd >= 0 ? utimensat(target.fd, "", times, AT_EMPTY_PATH) : -1;
		if (error != 0)
			error = utimensat(AT_FDCWD, target.native.c_str(), times, AT_SYMLINK_NOFOLLOW);
	}
	return error == 0 ? B_OK : StatusFromErrno();
}


status_t BStatable::_WritableTarget(StatTarget* target) const
{
	status_t result = _GetStatTarget(target);
	if (result != B_OK)
		return result;
	if (target->isVirtualRoot)
		return B_NOT_ALLOWED;
	if (target->readOnly)
		return B_READ_ONLY_DEVICE;
	return B_OK;
}
