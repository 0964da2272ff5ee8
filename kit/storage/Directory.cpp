#include <storage/Directory.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include <storage/Entry.h>
#include <storage/File.h>
#include <storage/SymLink.h>

#include "StoragePrivate.h"

namespace {

bool IsDotOrDotDot(const char* name)
{
	return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}


int32 FlavorOf(mode_t mode)
{
	if (S_ISDIR(mode))
		return B_DIRECTORY_NODE;
	if (S_ISLNK(mode))
		return B_SYMLINK_NODE;
	return B_FILE_NODE;
}


// The size of a packed dirent record holding a name of that length.
size_t RecordLength(size_t nameLength)
{
	size_t length = offsetof(struct dirent, d_name) + nameLength + 1;
	return (length + 7) & ~size_t(7);
}


// Whether the canonical system path lies strictly below folder.
bool LiesBelow(const std::string& path, const std::string& folder)
{
	if (folder == "/")
		return path != "/";
	return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0
		&& path[folder.size()] == '/';
}

}	// namespace


BDirectory::BDirectory(const char* path)
{
	(void)SetTo(path);
}


BDirectory::BDirectory(const entry_ref* ref)
{
	(void)SetTo(ref);
}


BDirectory::BDirectory(const BEntry* entry)
{
	(void)SetTo(entry);
}


BDirectory::BDirectory(const BDirectory* directory, const char* path)
{
	(void)SetTo(directory, path);
}


BDirectory::BDirectory(const BDirectory& other)
	:
	BNode()
{
	*this = other;
}


BDirectory& BDirectory::operator=(const BDirectory& other)
{
	if (this == &other)
		return *this;
	// A copy opens the folder again and starts its own listing.
	if (other.InitCheck() == B_OK)
		(void)SetTo(other.Path());
	else {
		Unset();
		_SetStatus(other.InitCheck());
	}
	return *this;
}


BDirectory::~BDirectory()
{
	_CloseListing();
}


status_t BDirectory::SetTo(const char* path)
{
	_CloseListing();
	status_t status = _Open(path);
	if (status != B_OK)
		_SetStatus(status);
	return status;
}


status_t BDirectory::SetTo(const entry_ref* ref)
{
	return SetTo(ref != nullptr ? ref->path.c_str() : nullptr);
}


status_t BDirectory::SetTo(const BEntry* entry)
{
	return SetTo(entry != nullptr ? entry->Path() : nullptr);
}


status_t BDirectory::SetTo(const BDirectory* directory, const char* path)
{
	std::string joined;
	status_t status = directory != nullptr && directory->InitCheck() == B_OK
		? MorvaneKit::JoinSystemPath(directory->Path(), path, &joined) : B_BAD_VALUE;
	if (status != B_OK) {
		_CloseListing();
		_SetStatus(status);
		return status;
	}
	return SetTo(joined.c_str());
}


void BDirectory::Unset()
{
	_CloseListing();
	BNode::Unset();
}


status_t BDirectory::_Open(const char* path)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	VolumeTable::Location location;
	status_t status = MorvaneKit::LocateEntry(path, true, &location);
	if (status != B_OK)
		return status;
	OpenedNode node;
	node.path = std::move(location.path);
	node.native = std::move(location.native);
	node.device = location.device;
	node.readOnly = location.readOnly;
	node.isVirtualRoot = location.IsRoot();
	if (!node.isVirtualRoot) {
		node.fd = open(node.native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
		if (node.fd < 0)
			return errno == ELOOP ? B_NOT_A_DIRECTORY : StatusFromErrno();
		node.fdAllowsIO = true;
	}
	_Adopt(std::move(node));
	return B_OK;
}


void BDirectory::_CloseListing()
{
	if (fListing != nullptr)
		closedir(fListing);
	fListing = nullptr;
	fRootIndex = 0;
}


status_t BDirectory::GetEntry(BEntry* entry) const
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (entry == nullptr)
		return B_BAD_VALUE;
	return entry->SetTo(Path());
}


bool BDirectory::IsRootDirectory() const
{
	return InitCheck() == B_OK && _Node().isVirtualRoot;
}


// The next name of the listing, with its inode and dirent type.
status_t BDirectory::_ReadNext(std::string* name, ino_t* node, unsigned char* type)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (_Node().isVirtualRoot) {
		VolumeTable::Volume volume;
		int32 cookie = fRootIndex == 0 ? 0 : int32(fRootIndex - 1);
		if (VolumeTable::GetNextVolume(&cookie, &volume) != B_OK)
			return B_ENTRY_NOT_FOUND;
		*name = fRootIndex == 0 ? VolumeTable::kBootAlias : volume.name;
		struct stat status;
		*node = stat(volume.folder.c_str(), &status) == 0 ? status.st_ino : 0;
		*type = DT_DIR;
		fRootIndex++;
		return B_OK;
	}
	if (fListing == nullptr) {
		// The listing reads through its own descriptor, so that its
		// position is not shared with copies or with CountEntries.
		int fd = openat(_Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
		if (fd < 0)
			return StatusFromErrno();
		fListing = fdopendir(fd);
		if (fListing == nullptr) {
			status_t status = StatusFromErrno();
			close(fd);
			return status;
		}
	}
	while (true) {
		errno = 0;
		struct dirent* entry = readdir(fListing);
		if (entry == nullptr)
			return errno != 0 ? StatusFromErrno() : B_ENTRY_NOT_FOUND;
		if (IsDotOrDotDot(entry->d_name))
			continue;
		*name = entry->d_name;
		*node = entry->d_ino;
		*type = entry->d_type;
		return B_OK;
	}
}


status_t BDirectory::GetNextEntry(BEntry* entry, bool traverse)
{
	if (entry == nullptr)
		return B_BAD_VALUE;
	std::string name;
	ino_t node;
	unsigned char type;
	status_t status = _ReadNext(&name, &node, &type);
	if (status != B_OK)
		return status;
	return entry->SetTo(this, name.c_str(), traverse);
}


status_t BDirectory::GetNextRef(entry_ref* ref)
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	std::string name;
	ino_t node;
	unsigned char type;
	status_t status = _ReadNext(&name, &node, &type);
	if (status != B_OK)
		return status;
	return MorvaneKit::JoinSystemPath(Path(), name.c_str(), &ref->path);
}


int32 BDirectory::GetNextDirents(struct dirent* buffer, size_t bufferSize, int32 count)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (buffer == nullptr)
		return B_BAD_VALUE;
	char* out = reinterpret_cast<char*>(buffer);
	size_t used = 0;
	int32 packed = 0;
	while (packed < count) {
		long position = fListing != nullptr ? telldir(fListing) : -1;
		size_t rootIndex = fRootIndex;
		std::string name;
		ino_t node;
		unsigned char type;
		status_t status = _ReadNext(&name, &node, &type);
		if (status == B_ENTRY_NOT_FOUND)
			break;
		if (status != B_OK)
			return packed > 0 ? packed : status;
		size_t length = RecordLength(name.size());
		if (used + length > bufferSize) {
			// Give the entry back for the next call.
			if (_Node().isVirtualRoot)
				fRootIndex = rootIndex;
			else if (position >= 0)
				seekdir(fListing, position);
			else
				rewinddir(fListing);
			return packed > 0 ? packed : B_BAD_VALUE;
		}
		struct dirent* record = reinterpret_cast<struct dirent*>(out + used);
		record->d_ino = node;
		record->d_off = 0;
		record->d_reclen = static_cast<unsigned short>(length);
		record->d_type = type;
		memcpy(record->d_name, name.c_str(), name.size() + 1);
		used += length;
		packed++;
	}
	return packed;
}


status_t BDirectory::Rewind()
{
	if (InitCheck() != B_OK)
		return InitCheck();
	fRootIndex = 0;
	if (fListing != nullptr)
		rewinddir(fListing);
	return B_OK;
}


int32 BDirectory::CountEntries() const
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (_Node().isVirtualRoot)
		return VolumeTable::CountVolumes() + (VolumeTable::CountVolumes() > 0 ? 1 : 0);
	int fd = openat(_Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (fd < 0)
		return StatusFromErrno();
	DIR* listing = fdopendir(fd);
	if (listing == nullptr) {
		status_t status = StatusFromErrno();
		close(fd);
		return status;
	}
	int32 count = 0;
	while (struct dirent* entry = readdir(listing)) {
		if (!IsDotOrDotDot(entry->d_name))
			count++;
	}
	closedir(listing);
	return count;
}


bool BDirectory::Contains(const char* path, int32 nodeFlags) const
{
	if (InitCheck() != B_OK || path == nullptr)
		return false;
	std::string joined;
	VolumeTable::Location location;
	VolumeTable::Location folder;
	if (MorvaneKit::JoinSystemPath(Path(), path, &joined) != B_OK
		|| VolumeTable::Locate(joined.c_str(), &location) != B_OK
		|| VolumeTable::Locate(Path(), &folder) != B_OK
		|| !LiesBelow(location.canonicalPath, folder.canonicalPath)) {
		return false;
	}
	struct stat status;
	if (lstat(location.native.c_str(), &status) != 0)
		return false;
	return (FlavorOf(status.st_mode) & nodeFlags) != 0;
}


bool BDirectory::Contains(const BEntry* entry, int32 nodeFlags) const
{
	return entry != nullptr && entry->InitCheck() == B_OK && Contains(entry->Path(), nodeFlags);
}


status_t BDirectory::FindEntry(const char* path, BEntry* entry, bool traverse) const
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (entry == nullptr || path == nullptr)
		return B_BAD_VALUE;
	status_t status = entry->SetTo(this, path, traverse);
	if (status == B_OK && !entry->Exists())
		status = B_ENTRY_NOT_FOUND;
	if (status != B_OK)
		entry->Unset();
	return status;
}


status_t BDirectory::CreateFile(const char* path, BFile* file, bool failIfExists)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (_Node().isVirtualRoot)
		return B_NOT_ALLOWED;
	BFile local;
	BFile* target = file != nullptr ? file : &local;
	uint32 openMode = B_READ_WRITE | B_CREATE_FILE | B_ERASE_FILE
		| (failIfExists ? uint32(B_FAIL_IF_EXISTS) : 0u);
	return target->SetTo(this, path, openMode);
}


// Where a new entry of that path (relative to this folder) would go; roots
// and read-only volumes cannot take one.
status_t BDirectory::_LocateNewEntry(const char* path, VolumeTable::Location* location) const
{
	std::string joined;
	status_t status = MorvaneKit::JoinSystemPath(Path(), path, &joined);
	if (status == B_OK)
		status = MorvaneKit::LocateEntry(joined.c_str(), false, location);
	if (status != B_OK)
		return status;
	if (location->IsRoot() || location->IsVolumeRoot())
		return B_FILE_EXISTS;
	if (location->readOnly)
		return B_READ_ONLY_DEVICE;
	return B_OK;
}


status_t BDirectory::CreateDirectory(const char* path, BDirectory* directory)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	VolumeTable::Location location;
	status_t status = _LocateNewEntry(path, &location);
	if (status != B_OK)
		return status;
	if (mkdir(location.native.c_str(), 0777) != 0)
		return StatusFromErrno();
	return directory != nullptr ? directory->SetTo(location.path.c_str()) : B_OK;
}


status_t BDirectory::CreateSymLink(const char* path, const char* linkTo, BSymLink* link)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (linkTo == nullptr || linkTo[0] == '\0')
		return B_BAD_VALUE;
	VolumeTable::Location location;
	status_t status = _LocateNewEntry(path, &location);
	if (status != B_OK)
		return status;
	if (symlink(linkTo, location.native.c_str()) != 0)
		return StatusFromErrno();
	return link != nullptr ? link->SetTo(location.path.c_str()) : B_OK;
}


status_t create_directory(const char* path, mode_t mode)
{
	VolumeTable::Location location;
	status_t status = VolumeTable::Locate(path, &location);
	if (status != B_OK || location.IsRoot())
		return status;
	VolumeTable::Volume volume;
	status = VolumeTable::GetVolume(location.device, &volume);
	if (status != B_OK)
		return status;

	// Walks down from the volume's folder, making what is missing.
	size_t restStart = location.path.find('/', 1);
	std::string rest = restStart == std::string::npos ? std::string()
		: location.path.substr(restStart);
	std::string native = volume.folder == "/" ? std::string() : volume.folder;
	size_t start = 1;
	while (start <= rest.size()) {
		size_t slash = rest.find('/', start);
		if (slash == std::string::npos)
			slash = rest.size();
		native += rest.substr(start - 1, slash - start + 1);
		start = slash + 1;
		struct stat info;
		if (stat(native.c_str(), &info) == 0) {
			if (!S_ISDIR(info.st_mode))
				return B_NOT_A_DIRECTORY;
			continue;
		}
		if (errno != ENOENT)
			return StatusFromErrno();
		if (location.readOnly)
			return B_READ_ONLY_DEVICE;
		if (mkdir(native.c_str(), mode) != 0 && errno != EEXIST)
			return StatusFromErrno();
	}
	return B_OK;
}
