#include <storage/Entry.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <storage/Directory.h>
#include <storage/Path.h>

#include "StoragePrivate.h"

namespace {

std::string SystemParent(const std::string& path)
{
	size_t slash = path.rfind('/');
	return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}


// rename(2) that refuses to replace an entry unless clobber is set.
status_t RenameNative(const std::string& from, const std::string& to, bool clobber)
{
	if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
			clobber ? 0 : RENAME_NOREPLACE) == 0) {
		return B_OK;
	}
	if (errno != EINVAL || clobber)
		return StatusFromErrno();
	// The file system cannot refuse by itself; check first. Another process
	// may still slip an entry in between, which rename then replaces.
	struct stat status;
	if (lstat(to.c_str(), &status) == 0)
		return B_FILE_EXISTS;
	return rename(from.c_str(), to.c_str()) == 0 ? B_OK : StatusFromErrno();
}

}	// namespace


BEntry::BEntry(const char* path, bool traverse)
{
	(void)SetTo(path, traverse);
}


BEntry::BEntry(const BDirectory* directory, const char* path, bool traverse)
{
	(void)SetTo(directory, path, traverse);
}


BEntry::BEntry(const entry_ref* ref, bool traverse)
{
	(void)SetTo(ref, traverse);
}


status_t BEntry::SetTo(const char* path, bool traverse)
{
	fLocation = VolumeTable::Location();
	fStatus = MorvaneKit::LocateEntry(path, traverse, &fLocation);
	return fStatus;
}


status_t BEntry::SetTo(const BDirectory* directory, const char* path, bool traverse)
{
	std::string joined;
	status_t status = directory != nullptr && directory->InitCheck() == B_OK
		? MorvaneKit::JoinSystemPath(directory->Path(), path, &joined) : B_BAD_VALUE;
	if (status != B_OK) {
		Unset();
		return fStatus = status;
	}
	return SetTo(joined.c_str(), traverse);
}


status_t BEntry::SetTo(const entry_ref* ref, bool traverse)
{
	if (ref == nullptr) {
		Unset();
		return fStatus = B_BAD_VALUE;
	}
	return SetTo(ref->path.c_str(), traverse);
}


void BEntry::Unset()
{
	fLocation = VolumeTable::Location();
	fStatus = B_NO_INIT;
}


bool BEntry::Exists() const
{
	if (fStatus != B_OK)
		return false;
	struct stat status;
	return fLocation.IsRoot() || lstat(fLocation.native.c_str(), &status) == 0;
}


const char* BEntry::Path() const
{
	return fStatus == B_OK ? fLocation.path.c_str() : nullptr;
}


const char* BEntry::Name() const
{
	if (fStatus != B_OK)
		return nullptr;
	return fLocation.path.c_str() + fLocation.path.rfind('/') + 1;
}


status_t BEntry::GetName(char* buffer) const
{
	if (fStatus != B_OK)
		return fStatus;
	if (buffer == nullptr)
		return B_BAD_VALUE;
	const char* name = Name();
	size_t length = strlen(name);
	if (length >= B_FILE_NAME_LENGTH)
		return B_NAME_TOO_LONG;
	memcpy(buffer, name, length + 1);
	return B_OK;
}


status_t BEntry::GetPath(BPath* path) const
{
	if (fStatus != B_OK)
		return fStatus;
	if (path == nullptr)
		return B_BAD_VALUE;
	return path->SetTo(fLocation.path.c_str());
}


status_t BEntry::GetRef(entry_ref* ref) const
{
	if (fStatus != B_OK)
		return fStatus;
	if (ref == nullptr)
		return B_BAD_VALUE;
	ref->path = fLocation.path;
	return B_OK;
}


status_t BEntry::GetParent(BEntry* parent) const
{
	if (fStatus != B_OK)
		return fStatus;
	if (parent == nullptr)
		return B_BAD_VALUE;
	if (fLocation.IsRoot())
		return B_ENTRY_NOT_FOUND;
	return parent->SetTo(SystemParent(fLocation.path).c_str());
}


status_t BEntry::GetParent(BDirectory* parent) const
{
	if (fStatus != B_OK)
		return fStatus;
	if (parent == nullptr)
		return B_BAD_VALUE;
	if (fLocation.IsRoot())
		return B_ENTRY_NOT_FOUND;
	return parent->SetTo(SystemParent(fLocation.path).c_str());
}


status_t BEntry::Rename(const char* newName, bool clobber)
{
	if (fStatus != B_OK)
		return fStatus;
	if (!MorvaneKit::IsUsableLeafName(newName))
		return B_BAD_VALUE;
	std::string target = SystemParent(fLocation.path);
	if (target.back() != '/')
		target += '/';
	target += newName;
	return _MoveTo(target, clobber);
}


status_t BEntry::MoveTo(const BDirectory* directory, const char* path, bool clobber)
{
	if (fStatus != B_OK)
		return fStatus;
	if (directory == nullptr || directory->InitCheck() != B_OK)
		return B_BAD_VALUE;
	std::string target;
	status_t status = MorvaneKit::JoinSystemPath(directory->Path(),
		path != nullptr ? path : Name(), &target);
	return status == B_OK ? _MoveTo(target, clobber) : status;
}


status_t BEntry::_MoveTo(const std::string& targetPath, bool clobber)
{
	if (fLocation.IsRoot() || fLocation.IsVolumeRoot())
		return B_NOT_ALLOWED;
	VolumeTable::Location target;
	status_t status = MorvaneKit::LocateEntry(targetPath.c_str(), false, &target);
	if (status != B_OK)
		return status;
	if (target.IsRoot() || target.IsVolumeRoot())
		return B_NOT_ALLOWED;
	if (fLocation.readOnly || target.readOnly)
		return B_READ_ONLY_DEVICE;
	if (target.device != fLocation.device)
		return B_CROSS_DEVICE_LINK;
	if (target.native == fLocation.native)
		return B_OK;
	status = RenameNative(fLocation.native, target.native, clobber);
	if (status == B_OK)
		fLocation = std::move(target);
	return status;
}


status_t BEntry::Remove()
{
	if (fStatus != B_OK)
		return fStatus;
	if (fLocation.IsRoot() || fLocation.IsVolumeRoot())
		return B_NOT_ALLOWED;
	if (fLocation.readOnly)
		return B_READ_ONLY_DEVICE;
	struct stat status;
	if (lstat(fLocation.native.c_str(), &status) != 0)
		return StatusFromErrno();
	int error = S_ISDIR(status.st_mode) ? rmdir(fLocation.native.c_str())
		: unlink(fLocation.native.c_str());
	return error == 0 ? B_OK : StatusFromErrno();
}


bool BEntry::operator==(const BEntry& other) const
{
	if (fStatus != B_OK || other.fStatus != B_OK)
		return fStatus != B_OK && other.fStatus != B_OK;
	return fLocation.canonicalPath == other.fLocation.canonicalPath;
}


status_t BEntry::_GetStatTarget(StatTarget* target) const
{
	if (fStatus != B_OK)
		return fStatus;
	target->native = fLocation.native;
	target->device = fLocation.device;
	target->readOnly = fLocation.readOnly;
	target->isVirtualRoot = fLocation.IsRoot();
	return B_OK;
}


status_t get_ref_for_path(const char* path, entry_ref* ref)
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	BEntry entry(path);
	return entry.GetRef(ref);
}
