#include <storage/Node.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <storage/Directory.h>
#include <storage/Entry.h>
#include <support/TypeConstants.h>

#include "StoragePrivate.h"

namespace {

// Linux's limits on one xattr: name and value.
constexpr size_t kMaxXattrNameLength = 255;
constexpr size_t kMaxXattrValueSize = 64 * 1024;
constexpr size_t kTypeCodeSize = 4;
constexpr const char kTypedPrefix[] = "user.mv.";
constexpr size_t kTypedPrefixLength = sizeof(kTypedPrefix) - 1;
// Reads retried when the value grows between asking its size and reading.
constexpr int kMaxReadAttempts = 4;
// Room for the attribute names of most nodes, tried before asking their size.
constexpr size_t kAttrListGuess = 1024;


bool HasPrefix(const char* name, const char* prefix)
{
	return strncmp(name, prefix, strlen(prefix)) == 0;
}


bool IsRawName(const char* name)
{
	return HasPrefix(name, "user.") || HasPrefix(name, "security.")
		|| HasPrefix(name, "trusted.") || HasPrefix(name, "system.");
}


// The xattr that holds an attribute of that name.
status_t XattrName(const char* name, std::string* xattrName, bool* typed)
{
	if (name == nullptr || name[0] == '\0')
		return B_BAD_VALUE;
	*typed = !IsRawName(name);
	*xattrName = *typed ? std::string(kTypedPrefix) + name : std::string(name);
	return xattrName->size() > kMaxXattrNameLength ? B_NAME_TOO_LONG : B_OK;
}


// What an xattr call's errno means for the caller.
status_t AttrError(int error)
{
	switch (error) {
		case E2BIG:
			return B_FILE_TOO_LARGE;
		case ENOSPC:
		case EDQUOT:
			return B_DEVICE_FULL;
		case EPERM:
			return B_NOT_ALLOWED;
		case EOPNOTSUPP:
			return B_NOT_SUPPORTED;
		case ERANGE:
			// The name was checked, so the value is what is too large.
			return B_FILE_TOO_LARGE;
		default:
			return error == 0 ? B_ERROR : B_FROM_ERRNO(error);
	}
}


void PutTypeCode(type_code type, char* bytes)
{
	bytes[0] = char(type >> 24);
	bytes[1] = char(type >> 16);
	bytes[2] = char(type >> 8);
	bytes[3] = char(type);
}


type_code GetTypeCode(const char* bytes)
{
	const uint8* data = reinterpret_cast<const uint8*>(bytes);
	return (type_code(data[0]) << 24) | (type_code(data[1]) << 16)
		| (type_code(data[2]) << 8) | type_code(data[3]);
}


// The names of an xattr list, typed ones under their own names.
std::vector<std::string> AttributeNames(const std::vector<char>& list)
{
	std::vector<std::string> names;
	size_t start = 0;
	while (start < list.size()) {
		const char* name = list.data() + start;
		size_t length = strnlen(name, list.size() - start);
		start += length + 1;
		if (length == 0)
			continue;
		if (strncmp(name, kTypedPrefix, kTypedPrefixLength) != 0) {
			names.emplace_back(name, length);
			continue;
		}
		if (length > kTypedPrefixLength)
			names.emplace_back(name + kTypedPrefixLength, length - kTypedPrefixLength);
	}
	return names;
}

}	// namespace


BNode::BNode()
{
}


BNode::BNode(const char* path)
{
	(void)SetTo(path);
}


BNode::BNode(const entry_ref* ref)
{
	(void)SetTo(ref);
}


BNode::BNode(const BEntry* entry)
{
	(void)SetTo(entry);
}


BNode::BNode(const BDirectory* directory, const char* path)
{
	(void)SetTo(directory, path);
}


BNode::BNode(const BNode& other)
	:
	BStatable()
{
	*this = other;
}


BNode& BNode::operator=(const BNode& other)
{
	if (this == &other)
		return *this;
	// A copy opens the node again, so that it has its own lock and listing.
	if (other.fStatus == B_OK)
		(void)_OpenNode(other.fNode.path.c_str());
	else {
		Unset();
		fStatus = other.fStatus;
	}
	return *this;
}


BNode::~BNode()
{
	Unset();
}


status_t BNode::SetTo(const char* path)
{
	return _OpenNode(path);
}


status_t BNode::SetTo(const entry_ref* ref)
{
	if (ref == nullptr) {
		Unset();
		return fStatus = B_BAD_VALUE;
	}
	return _OpenNode(ref->path.c_str());
}


status_t BNode::SetTo(const BEntry* entry)
{
	if (entry == nullptr || entry->InitCheck() != B_OK) {
		Unset();
		return fStatus = B_BAD_VALUE;
	}
	return _OpenNode(entry->Path());
}


status_t BNode::SetTo(const BDirectory* directory, const char* path)
{
	std::string joined;
	status_t status = directory != nullptr && directory->InitCheck() == B_OK
		? MorvaneKit::JoinSystemPath(directory->Path(), path, &joined) : B_BAD_VALUE;
	if (status != B_OK) {
		Unset();
		return fStatus = status;
	}
	return _OpenNode(joined.c_str());
}


void BNode::Unset()
{
	if (fNode.fd >= 0)
		close(fNode.fd);
	fNode = OpenedNode();
	fStatus = B_NO_INIT;
	fLocked = false;
	fAttrNames.clear();
	fAttrIndex = 0;
	fAttrsListed = false;
}


const char* BNode::Path() const
{
	return fStatus == B_OK ? fNode.path.c_str() : nullptr;
}


status_t BNode::_OpenNode(const char* path)
{
	VolumeTable::Location location;
	status_t status = MorvaneKit::LocateEntry(path, false, &location);
	if (status != B_OK) {
		Unset();
		return fStatus = status;
	}
	OpenedNode node;
	node.path = location.path;
	node.native = location.native;
	node.device = location.device;
	node.readOnly = location.readOnly;
	node.isVirtualRoot = location.IsRoot();
	if (node.isVirtualRoot) {
		_Adopt(std::move(node));
		return B_OK;
	}
	struct stat info;
	if (lstat(node.native.c_str(), &info) != 0) {
		status = StatusFromErrno();
		Unset();
		return fStatus = status;
	}
	// Files and folders are opened for reading, which lets the xattr, lock
	// and sync calls work on the descriptor. Anything else (and a file that
	// may not be read) is only referred to: opening a FIFO would block, and
	// a link must not be followed. O_NONBLOCK guards against a FIFO taking
	// the place of a file in between.
	int fd = -1;
	if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) {
		fd = open(node.native.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK
			| (S_ISDIR(info.st_mode) ? O_DIRECTORY : 0));
		node.fdAllowsIO = fd >= 0;
	}
	if (fd < 0)
		fd = open(node.native.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
	if (fd < 0) {
		status = StatusFromErrno();
		Unset();
		return fStatus = status;
	}
	node.fd = fd;
	_Adopt(std::move(node));
	return B_OK;
}


void BNode::_Adopt(OpenedNode&& node)
{
	Unset();
	fNode = std::move(node);
	fStatus = B_OK;
}


void BNode::_SetStatus(status_t status)
{
	if (status != B_OK)
		Unset();
	fStatus = status;
}


status_t BNode::_GetStatTarget(StatTarget* target) const
{
	if (fStatus != B_OK)
		return fStatus;
	target->fd = fNode.fd;
	target->fdAllowsIO = fNode.fdAllowsIO;
	target->native = fNode.native;
	target->device = fNode.device;
	target->readOnly = fNode.readOnly;
	target->isVirtualRoot = fNode.isVirtualRoot;
	return B_OK;
}


ssize_t BNode::_GetXattr(const char* name, void* buffer, size_t size) const
{
	if (fNode.fdAllowsIO)
		return fgetxattr(fNode.fd, name, buffer, size);
	return lgetxattr(fNode.native.c_str(), name, buffer, size);
}


status_t BNode::_SetXattr(const char* name, const void* buffer, size_t size)
{
	int error = fNode.fdAllowsIO ? fsetxattr(fNode.fd, name, buffer, size, 0)
		: lsetxattr(fNode.native.c_str(), name, buffer, size, 0);
	return error == 0 ? B_OK : AttrError(errno);
}


// Reads a whole xattr value. The kernel bounds it at 64 KiB.
status_t BNode::_ReadValue(const char* name, std::vector<char>* value, bool* typed) const
{
	std::string xattrName;
	status_t status = XattrName(name, &xattrName, typed);
	if (status != B_OK)
		return status;
	for (int attempt = 0; attempt < kMaxReadAttempts; attempt++) {
		ssize_t size = _GetXattr(xattrName.c_str(), nullptr, 0);
		if (size < 0)
			return AttrError(errno);
		value->resize(size_t(size));
		ssize_t got = _GetXattr(xattrName.c_str(), value->data(), value->size());
		if (got < 0 && errno == ERANGE)
			continue;
		if (got < 0)
			return AttrError(errno);
		value->resize(size_t(got));
		if (*typed && value->size() < kTypeCodeSize)
			return B_BAD_DATA;
		return B_OK;
	}
	return B_BUSY;
}


ssize_t BNode::ReadAttr(const char* name, type_code type, off_t offset, void* buffer,
	size_t length)
{
	if (fStatus != B_OK)
		return fStatus;
	if (fNode.isVirtualRoot)
		return B_NOT_ALLOWED;
	if (offset < 0 || (buffer == nullptr && length > 0))
		return B_BAD_VALUE;
	std::vector<char> value;
	bool typed;
	status_t status = _ReadValue(name, &value, &typed);
	if (status != B_OK)
		return status;
	size_t start = typed ? kTypeCodeSize : 0;
	size_t dataSize = value.size() - start;
	if (uint64(offset) >= dataSize)
		return 0;
	size_t count = std::min(length, dataSize - size_t(offset));
	memcpy(buffer, value.data() + start + offset, count);
	return ssize_t(count);
}


ssize_t BNode::WriteAttr(const char* name, type_code type, off_t offset,
	const void* buffer, size_t length)
{
	if (fStatus != B_OK)
		return fStatus;
	if (fNode.isVirtualRoot)
		return B_NOT_ALLOWED;
	if (fNode.readOnly)
		return B_READ_ONLY_DEVICE;
	if (offset < 0 || (buffer == nullptr && length > 0))
		return B_BAD_VALUE;
	if (length > kMaxXattrValueSize || uint64(offset) > kMaxXattrValueSize - length)
		return B_FILE_TOO_LARGE;

	std::string xattrName;
	bool typed;
	status_t status = XattrName(name, &xattrName, &typed);
	if (status != B_OK)
		return status;
	size_t start = typed ? kTypeCodeSize : 0;
	std::vector<char> value;
	if (offset > 0) {
		// Keep what the value holds around the range written; a missing or
		// damaged value counts as empty.
		bool ignored;
		status = _ReadValue(name, &value, &ignored);
		if (status == B_ATTR_NOT_FOUND || status == B_BAD_DATA)
			value.clear();
		else if (status != B_OK)
			return status;
	}
	size_t end = start + size_t(offset) + length;
	if (end > kMaxXattrValueSize)
		return B_FILE_TOO_LARGE;
	if (value.size() < end)
		value.resize(end, 0);
	if (typed)
		PutTypeCode(type, value.data());
	if (length > 0)
		memcpy(value.data() + start + offset, buffer, length);
	status = _SetXattr(xattrName.c_str(), value.data(), value.size());
	return status == B_OK ? ssize_t(length) : status;
}


status_t BNode::RemoveAttr(const char* name)
{
	if (fStatus != B_OK)
		return fStatus;
	if (fNode.isVirtualRoot)
		return B_NOT_ALLOWED;
	if (fNode.readOnly)
		return B_READ_ONLY_DEVICE;
	std::string xattrName;
	bool typed;
	status_t status = XattrName(name, &xattrName, &typed);
	if (status != B_OK)
		return status;
	int error = fNode.fdAllowsIO ? fremovexattr(fNode.fd, xattrName.c_str())
		: lremovexattr(fNode.native.c_str(), xattrName.c_str());
	return error == 0 ? B_OK : AttrError(errno);
}


status_t BNode::GetAttrInfo(const char* name, attr_info* info)
{
	if (fStatus != B_OK)
		return fStatus;
	if (fNode.isVirtualRoot)
		return B_NOT_ALLOWED;
	if (info == nullptr)
		return B_BAD_VALUE;
	std::vector<char> value;
	bool typed;
	status_t status = _ReadValue(name, &value, &typed);
	if (status != B_OK)
		return status;
	info->type = typed ? GetTypeCode(value.data()) : type_code(B_RAW_TYPE);
	info->size = off_t(value.size() - (typed ? kTypeCodeSize : 0));
	return B_OK;
}


status_t BNode::GetNextAttrName(char* buffer)
{
	if (fStatus != B_OK)
		return fStatus;
	if (buffer == nullptr)
		return B_BAD_VALUE;
	if (fNode.isVirtualRoot)
		return B_ENTRY_NOT_FOUND;
	if (!fAttrsListed) {
		auto listInto = [this](char* buffer, size_t size) {
			return fNode.fdAllowsIO ? flistxattr(fNode.fd, buffer, size)
				: llistxattr(fNode.native.c_str(), buffer, size);
		};
		// Most nodes have a few short names or none: one call with room for
		// them, and the size asked for only when they do not fit.
		std::vector<char> list(kAttrListGuess);
		ssize_t got = listInto(list.data(), list.size());
		for (int attempt = 0; got < 0; attempt++) {
			if (errno != ERANGE || attempt >= kMaxReadAttempts)
				return AttrError(errno);
			ssize_t size = listInto(nullptr, 0);
			if (size < 0)
				return AttrError(errno);
			list.resize(size_t(size));
			got = listInto(list.data(), list.size());
		}
		list.resize(size_t(got));
		fAttrNames = AttributeNames(list);
		fAttrIndex = 0;
		fAttrsListed = true;
	}
	if (fAttrIndex >= fAttrNames.size())
		return B_ENTRY_NOT_FOUND;
	const std::string& name = fAttrNames[fAttrIndex++];
	size_t length = std::min(name.size(), B_ATTR_NAME_LENGTH - 1);
	memcpy(buffer, name.data(), length);
	buffer[length] = '\0';
	return B_OK;
}


status_t BNode::RewindAttrs()
{
	if (fStatus != B_OK)
		return fStatus;
	fAttrNames.clear();
	fAttrIndex = 0;
	fAttrsListed = false;
	return B_OK;
}


status_t BNode::WriteAttrString(const char* name, const std::string& value)
{
	ssize_t written = WriteAttr(name, B_STRING_TYPE, 0, value.c_str(), value.size() + 1);
	if (written < 0)
		return status_t(written);
	return size_t(written) == value.size() + 1 ? B_OK : B_ERROR;
}


status_t BNode::ReadAttrString(const char* name, std::string* value)
{
	if (value == nullptr)
		return B_BAD_VALUE;
	if (fStatus != B_OK)
		return fStatus;
	if (fNode.isVirtualRoot)
		return B_NOT_ALLOWED;
	std::vector<char> bytes;
	bool typed;
	status_t status = _ReadValue(name, &bytes, &typed);
	if (status != B_OK)
		return status;
	size_t start = typed ? kTypeCodeSize : 0;
	const char* text = bytes.data() + start;
	value->assign(text, strnlen(text, bytes.size() - start));
	return B_OK;
}


status_t BNode::Lock()
{
	if (fStatus != B_OK)
		return fStatus;
	if (fLocked)
		return B_BUSY;
	if (!fNode.fdAllowsIO)
		return B_NOT_ALLOWED;
	int error;
	do {
		error = flock(fNode.fd, LOCK_EX | LOCK_NB);
	} while (error != 0 && errno == EINTR);
	if (error != 0)
		return errno == EWOULDBLOCK ? B_BUSY : StatusFromErrno();
	fLocked = true;
	return B_OK;
}


status_t BNode::Unlock()
{
	if (fStatus != B_OK)
		return fStatus;
	if (!fLocked)
		return B_BAD_VALUE;
	if (flock(fNode.fd, LOCK_UN) != 0)
		return StatusFromErrno();
	fLocked = false;
	return B_OK;
}


status_t BNode::Sync()
{
	if (fStatus != B_OK)
		return fStatus;
	if (fNode.isVirtualRoot)
		return B_OK;
	if (fNode.fdAllowsIO)
		return fsync(fNode.fd) == 0 ? B_OK : StatusFromErrno();
	// A link or special node has no data of its own to sync; what makes it
	// last is its entry in the folder.
	int folder = open(MorvaneKit::NativeParent(fNode.native).c_str(),
		O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (folder < 0)
		return StatusFromErrno();
	status_t status = fsync(folder) == 0 ? B_OK : StatusFromErrno();
	close(folder);
	return status;
}


bool BNode::operator==(const BNode& other) const
{
	if (fStatus != B_OK || other.fStatus != B_OK)
		return fStatus != B_OK && other.fStatus != B_OK;
	node_ref ref;
	node_ref otherRef;
	return GetNodeRef(&ref) == B_OK && other.GetNodeRef(&otherRef) == B_OK && ref == otherRef;
}
