// The calls of BDirectory that reach entries through the folder's descriptor.

#include <storage/Directory.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <storage/File.h>
#include <storage/SymLink.h>

#include "StoragePrivate.h"

namespace {

bool IsLeafName(const char* name)
{
	if (name == nullptr || name[0] == '\0' || strchr(name, '/') != nullptr)
		return false;
	return strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}


// What an open that refused to follow a link says, as the caller's error.
status_t RefusedOpenStatus(int folderFd, const char* name, int error)
{
	struct stat status;
	if ((error == ELOOP || error == ENOTDIR)
		&& fstatat(folderFd, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))
		return B_NOT_ALLOWED;
	return B_FROM_ERRNO(error);
}

}	// namespace


// Checks that the folder is open and real and that name is one component;
// *child gets where the entry lies.
status_t BDirectory::_LocateChild(const char* name, bool forWriting,
	VolumeTable::Location* child) const
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (_Node().isVirtualRoot)
		return B_NOT_ALLOWED;
	if (!IsLeafName(name))
		return B_BAD_VALUE;
	if (forWriting && _Node().readOnly)
		return B_READ_ONLY_DEVICE;
	child->path = _Node().path == "/" ? "/" + std::string(name) : _Node().path + "/" + name;
	child->native = _Node().native == "/" ? "/" + std::string(name)
		: _Node().native + "/" + name;
	child->device = _Node().device;
	child->readOnly = _Node().readOnly;
	return B_OK;
}


status_t BDirectory::OpenFolderAt(const char* name, bool create, BDirectory* folder,
	bool* created) const
{
	if (created != nullptr)
		*created = false;
	if (folder == nullptr)
		return B_BAD_VALUE;
	VolumeTable::Location child;
	status_t status = _LocateChild(name, create, &child);
	if (status != B_OK)
		return status;
	if (create) {
		if (mkdirat(_Fd(), name, 0777) == 0) {
			if (created != nullptr)
				*created = true;
		} else if (errno != EEXIST) {
			return StatusFromErrno();
		}
	}
	int fd = openat(_Fd(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
	if (fd < 0)
		return RefusedOpenStatus(_Fd(), name, errno);
	OpenedNode node;
	node.fd = fd;
	node.fdAllowsIO = true;
	node.path = std::move(child.path);
	node.native = std::move(child.native);
	node.device = child.device;
	node.readOnly = child.readOnly;
	folder->_CloseListing();
	folder->_Adopt(std::move(node));
	return B_OK;
}


status_t BDirectory::CreateFileAt(const char* name, bool failIfExists, BFile* file) const
{
	return _OpenFileAt(name, B_WRITE_ONLY | B_CREATE_FILE
		| (failIfExists ? uint32(B_FAIL_IF_EXISTS) : uint32(B_ERASE_FILE)), file);
}


status_t BDirectory::OpenFileAt(const char* name, uint32 openMode, BFile* file) const
{
	if ((openMode & B_CREATE_FILE) != 0) {
		if (file != nullptr)
			file->_SetStatus(B_BAD_VALUE);
		return B_BAD_VALUE;
	}
	return _OpenFileAt(name, openMode, file);
}


status_t BDirectory::_OpenFileAt(const char* name, uint32 openMode, BFile* file) const
{
	if (file == nullptr)
		return B_BAD_VALUE;
	VolumeTable::Location child;
	bool writing = (openMode & (B_CREATE_FILE | B_ACCESS_MODE_MASK)) != B_READ_ONLY;
	status_t status = _LocateChild(name, writing, &child);
	if (status == B_OK) {
		status = file->_OpenLocated(std::move(child), openMode, _Fd(), name);
		if (status == B_FROM_ERRNO(ELOOP))
			status = B_NOT_ALLOWED;
	}
	if (status != B_OK)
		file->_SetStatus(status);
	return status;
}


status_t BDirectory::CreateSymLinkAt(const char* name, const char* text, BSymLink* link) const
{
	if (text == nullptr || text[0] == '\0')
		return B_BAD_VALUE;
	VolumeTable::Location child;
	status_t status = _LocateChild(name, true, &child);
	if (status != B_OK)
		return status;
	if (symlinkat(text, _Fd(), name) != 0)
		return StatusFromErrno();
	if (link == nullptr)
		return B_OK;
	int fd = openat(_Fd(), name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
	if (fd < 0)
		return StatusFromErrno();
	OpenedNode node;
	node.fd = fd;
	node.path = std::move(child.path);
	node.native = std::move(child.native);
	node.device = child.device;
	node.readOnly = child.readOnly;
	link->_Adopt(std::move(node));
	return link->_CheckIsLink();
}


status_t BDirectory::GetStatAt(const char* name, struct stat* status) const
{
	if (status == nullptr)
		return B_BAD_VALUE;
	VolumeTable::Location child;
	status_t result = _LocateChild(name, false, &child);
	if (result != B_OK)
		return result;
	if (fstatat(_Fd(), name, status, AT_SYMLINK_NOFOLLOW) != 0)
		return StatusFromErrno();
	status->st_dev = child.device;
	return B_OK;
}


status_t BDirectory::RemoveAt(const char* name) const
{
	VolumeTable::Location child;
	status_t status = _LocateChild(name, true, &child);
	if (status != B_OK)
		return status;
	if (unlinkat(_Fd(), name, 0) == 0)
		return B_OK;
	if (errno != EISDIR)
		return StatusFromErrno();
	return unlinkat(_Fd(), name, AT_REMOVEDIR) == 0 ? B_OK : StatusFromErrno();
}


status_t BDirectory::RenameAt(const char* name, const char* newName) const
{
	VolumeTable::Location child;
	status_t status = _LocateChild(name, true, &child);
	if (status == B_OK && !IsLeafName(newName))
		status = B_BAD_VALUE;
	if (status != B_OK)
		return status;
	if (renameat2(_Fd(), name, _Fd(), newName, RENAME_NOREPLACE) == 0)
		return B_OK;
	if (errno == EEXIST)
		return B_FILE_EXISTS;
	if (errno != EINVAL)
		return StatusFromErrno();
	// A file system without RENAME_NOREPLACE: a link to the new name fails
	// when it is taken, and only then is the old name let go.
	if (linkat(_Fd(), name, _Fd(), newName, 0) != 0)
		return errno == EEXIST ? B_FILE_EXISTS : StatusFromErrno();
	return unlinkat(_Fd(), name, 0) == 0 ? B_OK : StatusFromErrno();
}
