#pragma once

// BNode: a file-system node (file, folder, symbolic link, ...) held open,
// with its attributes, stat information and an advisory lock.
//
// A BNode never follows a final symbolic link: set to a link, it is the link
// itself, so that the link's own attributes and times can be read and
// written (BFile and BDirectory follow links; use BEntry(path, true) to reach
// a link's target as a node). Files and folders are opened for reading,
// other nodes (and files that may not be read) with O_PATH.
//
// Attributes are extended attributes:
// - a name that begins with "user.", "security.", "trusted." or "system." is
//   the xattr of that name, read and written byte for byte; its type reads
//   B_RAW_TYPE, and the type given to WriteAttr is not recorded;
// - any other name is stored as the xattr "user.mv." + name, whose value is
//   the type code as 4 big-endian bytes (so 'CSTR' reads as "CSTR") followed
//   by the data. An empty name, or a name that would make an xattr name
//   longer than 255 bytes, gives B_BAD_VALUE / B_NAME_TOO_LONG.
// Listing gives both kinds by those names ("user.mv.x" is listed as "x").
// ReadAttr ignores the type it is given, as the original kits do; use
// GetAttrInfo to learn the stored type. WriteAttr at offset 0 replaces the
// whole value; at a larger offset it keeps the bytes before (and after) the
// range written, filling a gap with zeroes. Linux caps one xattr at 64 KiB
// (B_FILE_TOO_LARGE) and ext4 keeps only about one block (4 KiB) of xattrs
// per inode (B_DEVICE_FULL). The kernel refuses "user." xattrs on symbolic
// links (B_NOT_ALLOWED); other namespaces reach the link itself. A stored
// typed value shorter than its type code reads as B_BAD_DATA.
//
// A BNode is used by one thread at a time; copies open the node again.

#include <sys/types.h>

#include <string>
#include <vector>

#include <kernel/fs_attr.h>
#include <storage/EntryRef.h>
#include <storage/Statable.h>
#include <storage/StorageDefs.h>
#include <support/Errors.h>

class BDirectory;
class BEntry;

class BNode : public BStatable {
public:
	BNode();
	explicit BNode(const char* path);
	explicit BNode(const entry_ref* ref);
	explicit BNode(const BEntry* entry);
	BNode(const BDirectory* directory, const char* path);
	BNode(const BNode& other);
	BNode& operator=(const BNode& other);
	~BNode() override;

	[[nodiscard]] status_t SetTo(const char* path);
	[[nodiscard]] status_t SetTo(const entry_ref* ref);
	[[nodiscard]] status_t SetTo(const BEntry* entry);
	[[nodiscard]] status_t SetTo(const BDirectory* directory, const char* path);
	void Unset();
	[[nodiscard]] status_t InitCheck() const { return fStatus; }

	// The node's system path, or null when not initialised.
	const char* Path() const;

	// Bytes read from the value at offset (0 at or past its end), or an
	// error: B_ATTR_NOT_FOUND, B_BAD_DATA for a damaged typed value.
	[[nodiscard]] ssize_t ReadAttr(const char* name, type_code type, off_t offset,
		void* buffer, size_t length);
	// Bytes written, or an error (see above).
	[[nodiscard]] ssize_t WriteAttr(const char* name, type_code type, off_t offset,
		const void* buffer, size_t length);
	[[nodiscard]] status_t RemoveAttr(const char* name);
	[[nodiscard]] status_t GetAttrInfo(const char* name, attr_info* info);
	// The next name into buffer (B_ATTR_NAME_LENGTH bytes); B_ENTRY_NOT_FOUND
	// after the last. The names are taken when the listing starts.
	[[nodiscard]] status_t GetNextAttrName(char* buffer);
	[[nodiscard]] status_t RewindAttrs();
	// A B_STRING_TYPE value, stored with its terminating NUL.
	[[nodiscard]] status_t WriteAttrString(const char* name, const std::string& value);
	// Reads a value as a string, without a trailing NUL.
	[[nodiscard]] status_t ReadAttrString(const char* name, std::string* value);

	// An exclusive flock(2); B_BUSY when another descriptor holds it.
	[[nodiscard]] status_t Lock();
	// B_BAD_VALUE when not locked.
	[[nodiscard]] status_t Unlock();
	[[nodiscard]] status_t Sync();

	// The same node (volume and inode).
	bool operator==(const BNode& other) const;
	bool operator!=(const BNode& other) const { return !(*this == other); }

protected:
	struct OpenedNode {
		int fd = -1;
		bool fdAllowsIO = false;
		std::string path;
		std::string native;
		dev_t device = 0;
		bool readOnly = false;
		bool isVirtualRoot = false;
	};

	[[nodiscard]] status_t _GetStatTarget(StatTarget* target) const override;
	// Takes over an opened node (closing the one held) and its status.
	void _Adopt(OpenedNode&& node);
	void _SetStatus(status_t status);
	int _Fd() const { return fNode.fd; }
	const OpenedNode& _Node() const { return fNode; }

private:
	[[nodiscard]] status_t _OpenNode(const char* path);
	ssize_t _GetXattr(const char* name, void* buffer, size_t size) const;
	[[nodiscard]] status_t _SetXattr(const char* name, const void* buffer, size_t size);
	[[nodiscard]] status_t _ReadValue(const char* name, std::vector<char>* value, bool* typed) const;

	OpenedNode fNode;
	status_t fStatus = B_NO_INIT;
	bool fLocked = false;
	std::vector<std::string> fAttrNames;
	size_t fAttrIndex = 0;
	bool fAttrsListed = false;
};
