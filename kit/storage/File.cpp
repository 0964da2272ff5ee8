#include <storage/File.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <storage/Directory.h>
#include <storage/Entry.h>

#include "StoragePrivate.h"

namespace {

int OpenFlags(uint32 openMode)
{
	int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
	switch (openMode & B_ACCESS_MODE_MASK) {
		case B_WRITE_ONLY:
			flags |= O_WRONLY;
			break;
		case B_READ_WRITE:
			flags |= O_RDWR;
			break;
		default:
			flags |= O_RDONLY;
			break;
	}
	if ((openMode & B_CREATE_FILE) != 0) {
		flags |= O_CREAT;
		if ((openMode & B_FAIL_IF_EXISTS) != 0)
			flags |= O_EXCL;
	}
	if ((openMode & B_ERASE_FILE) != 0)
		flags |= O_TRUNC;
	if ((openMode & B_OPEN_AT_END) != 0)
		flags |= O_APPEND;
	return flags;
}


// Whether opening with this mode would change the volume.
bool ChangesVolume(uint32 openMode, const std::string& native)
{
	if ((openMode & B_ACCESS_MODE_MASK) != B_READ_ONLY || (openMode & B_ERASE_FILE) != 0)
		return true;
	struct stat status;
	return (openMode & B_CREATE_FILE) != 0 && lstat(native.c_str(), &status) != 0;
}

}	// namespace


BFile::BFile(const char* path, uint32 openMode)
{
	(void)SetTo(path, openMode);
}


BFile::BFile(const entry_ref* ref, uint32 openMode)
{
	(void)SetTo(ref, openMode);
}


BFile::BFile(const BEntry* entry, uint32 openMode)
{
	(void)SetTo(entry, openMode);
}


BFile::BFile(const BDirectory* directory, const char* path, uint32 openMode)
{
	(void)SetTo(directory, path, openMode);
}


status_t BFile::SetTo(const char* path, uint32 openMode)
{
	status_t status = _Open(path, openMode);
	if (status != B_OK)
		_SetStatus(status);
	return status;
}


status_t BFile::SetTo(const entry_ref* ref, uint32 openMode)
{
	return SetTo(ref != nullptr ? ref->path.c_str() : nullptr, openMode);
}


status_t BFile::SetTo(const BEntry* entry, uint32 openMode)
{
	// The entry's place is known: only a link in its place is followed.
	status_t status = entry != nullptr && entry->fStatus == B_OK ? B_OK : B_BAD_VALUE;
	VolumeTable::Location location;
	if (status == B_OK) {
		location = entry->fLocation;
		status = MorvaneKit::FollowLinks(&location);
	}
	if (status == B_OK)
		status = _OpenLocated(std::move(location), openMode);
	if (status != B_OK)
		_SetStatus(status);
	return status;
}


status_t BFile::SetTo(const BDirectory* directory, const char* path, uint32 openMode)
{
	std::string joined;
	status_t status = directory != nullptr && directory->InitCheck() == B_OK
		? MorvaneKit::JoinSystemPath(directory->Path(), path, &joined) : B_BAD_VALUE;
	if (status != B_OK) {
		_SetStatus(status);
		return status;
	}
	return SetTo(joined.c_str(), openMode);
}


status_t BFile::_Open(const char* path, uint32 openMode)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	VolumeTable::Location location;
	status_t status = MorvaneKit::LocateEntry(path, true, &location);
	if (status != B_OK)
		return status;
	return _OpenLocated(std::move(location), openMode);
}


status_t BFile::_OpenLocated(VolumeTable::Location location, uint32 openMode, int folderFd,
	const char* name)
{
	if ((openMode & B_ACCESS_MODE_MASK) > B_READ_WRITE)
		return B_BAD_VALUE;
	if (location.IsRoot())
		return B_IS_A_DIRECTORY;
	if (location.readOnly && ChangesVolume(openMode, location.native))
		return B_READ_ONLY_DEVICE;

	int fd;
	do {
		fd = folderFd >= 0 ? openat(folderFd, name, OpenFlags(openMode), 0666)
			: open(location.native.c_str(), OpenFlags(openMode), 0666);
	} while (fd < 0 && errno == EINTR);
	if (fd < 0)
		return StatusFromErrno();
	// O_NONBLOCK kept a FIFO from blocking the open; a file needs it no more.
	struct stat info;
	status_t status = fstat(fd, &info) == 0 ? B_OK : StatusFromErrno();
	if (status == B_OK && !S_ISREG(info.st_mode))
		status = S_ISDIR(info.st_mode) ? B_IS_A_DIRECTORY : B_BAD_TYPE;
	// F_SETFL takes only the status flags; the others are ignored.
	if (status == B_OK && fcntl(fd, F_SETFL, OpenFlags(openMode) & ~O_NONBLOCK) != 0)
		status = StatusFromErrno();
	if (status != B_OK) {
		close(fd);
		return status;
	}
	OpenedNode node;
	node.fd = fd;
	node.fdAllowsIO = true;
	node.path = std::move(location.path);
	node.native = std::move(location.native);
	node.device = location.device;
	node.readOnly = location.readOnly;
	_Adopt(std::move(node));
	fOpenMode = openMode;
	return B_OK;
}


namespace {

// Moves all size bytes with as many system calls as it takes, going on after
// EINTR. A read stops early at the end of the file. The bytes moved, or the
// error when nothing was moved.
template<typename Transfer>
ssize_t TransferAll(char* data, size_t size, bool stopAtEnd, Transfer transfer)
{
	size_t done = 0;
	while (done < size) {
		ssize_t moved = transfer(data + done, size - done, done);
		if (moved < 0 && errno == EINTR)
			continue;
		if (moved < 0)
			return done > 0 ? ssize_t(done) : StatusFromErrno();
		if (moved == 0 && stopAtEnd)
			break;
		done += size_t(moved);
	}
	return ssize_t(done);
}

}	// namespace


bool BFile::IsReadable() const
{
	return InitCheck() == B_OK && (fOpenMode & B_ACCESS_MODE_MASK) != B_WRITE_ONLY;
}


bool BFile::IsWritable() const
{
	return InitCheck() == B_OK && (fOpenMode & B_ACCESS_MODE_MASK) != B_READ_ONLY;
}


ssize_t BFile::Read(void* buffer, size_t size)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	return TransferAll(static_cast<char*>(buffer), size, true, [this](char* at, size_t count, size_t) {
		return read(_Fd(), at, count);
	});
}


ssize_t BFile::Write(const void* buffer, size_t size)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	char* data = const_cast<char*>(static_cast<const char*>(buffer));
	return TransferAll(data, size, false, [this](char* at, size_t count, size_t) {
		return write(_Fd(), at, count);
	});
}


ssize_t BFile::ReadAt(off_t position, void* buffer, size_t size)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (position < 0)
		return B_BAD_VALUE;
	return TransferAll(static_cast<char*>(buffer), size, true,
		[this, position](char* at, size_t count, size_t done) {
			return pread(_Fd(), at, count, position + off_t(done));
		});
}


ssize_t BFile::WriteAt(off_t position, const void* buffer, size_t size)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (position < 0)
		return B_BAD_VALUE;
	char* data = const_cast<char*>(static_cast<const char*>(buffer));
	return TransferAll(data, size, false,
		[this, position](char* at, size_t count, size_t done) {
			return pwrite(_Fd(), at, count, position + off_t(done));
		});
}


off_t BFile::Seek(off_t position, uint32 seekMode)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (seekMode != SEEK_SET && seekMode != SEEK_CUR && seekMode != SEEK_END)
		return B_BAD_VALUE;
	off_t result = lseek(_Fd(), position, int(seekMode));
	return result < 0 ? off_t(StatusFromErrno()) : result;
}


off_t BFile::Position() const
{
	if (InitCheck() != B_OK)
		return InitCheck();
	off_t result = lseek(_Fd(), 0, SEEK_CUR);
	return result < 0 ? off_t(StatusFromErrno()) : result;
}


status_t BFile::SetSize(off_t size)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (size < 0)
		return B_BAD_VALUE;
	if (!IsWritable())
		return B_NOT_ALLOWED;
	int error;
	do {
		error = ftruncate(_Fd(), size);
	} while (error != 0 && errno == EINTR);
	return error == 0 ? B_OK : StatusFromErrno();
}


status_t BFile::GetSize(off_t* size) const
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (size == nullptr)
		return B_BAD_VALUE;
	struct stat info;
	if (fstat(_Fd(), &info) != 0)
		return StatusFromErrno();
	*size = info.st_size;
	return B_OK;
}
