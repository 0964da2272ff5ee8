#pragma once

// BDirectory: a folder held open, for listing it and for creating entries in
// it. A symbolic link at the end of the path is followed.
//
// Entries come in the order the file system returns them (readdir order),
// "." and ".." left out. The root "/" is a virtual folder listing "boot"
// and then every volume's name in table order, so that a browser can walk
// down from it; nothing can be created in it (B_NOT_ALLOWED).
//
// Paths given to FindEntry, Contains and the Create calls are relative to
// the folder or absolute system paths. The Create calls fail with
// B_READ_ONLY_DEVICE on a read-only volume.
//
// A BDirectory is used by one thread at a time.

#include <dirent.h>

#include <vector>

#include <storage/Node.h>
#include <storage/VolumeTable.h>

class BFile;
class BSymLink;

class BDirectory : public BNode {
public:
	BDirectory() = default;
	explicit BDirectory(const char* path);
	explicit BDirectory(const entry_ref* ref);
	explicit BDirectory(const BEntry* entry);
	BDirectory(const BDirectory* directory, const char* path);
	BDirectory(const BDirectory& other);
	BDirectory& operator=(const BDirectory& other);
	~BDirectory() override;

	[[nodiscard]] status_t SetTo(const char* path);
	[[nodiscard]] status_t SetTo(const entry_ref* ref);
	[[nodiscard]] status_t SetTo(const BEntry* entry);
	[[nodiscard]] status_t SetTo(const BDirectory* directory, const char* path);
	void Unset();

	// The folder's own entry.
	[[nodiscard]] status_t GetEntry(BEntry* entry) const;
	bool IsRootDirectory() const;

	// The next entry; B_ENTRY_NOT_FOUND after the last.
	[[nodiscard]] status_t GetNextEntry(BEntry* entry, bool traverse = false);
	[[nodiscard]] status_t GetNextRef(entry_ref* ref);
	// Packs up to count entries into buffer as struct dirent records, each
	// d_reclen bytes long (8-byte aligned). Returns the number packed, 0 at
	// the end, or B_BAD_VALUE when not even one fits.
	[[nodiscard]] int32 GetNextDirents(struct dirent* buffer, size_t bufferSize,
		int32 count = INT32_MAX);
	[[nodiscard]] status_t Rewind();
	// The number of entries; leaves the current listing where it is.
	[[nodiscard]] int32 CountEntries() const;

	// Whether an entry of one of the flavors lies at path: relative paths
	// name entries of this folder, absolute ones anything below it.
	bool Contains(const char* path, int32 nodeFlags = B_ANY_NODE) const;
	bool Contains(const BEntry* entry, int32 nodeFlags = B_ANY_NODE) const;
	[[nodiscard]] status_t FindEntry(const char* path, BEntry* entry,
		bool traverse = false) const;

	// A new file opened B_READ_WRITE (file may be null). Without
	// failIfExists an existing file is opened and emptied.
	[[nodiscard]] status_t CreateFile(const char* path, BFile* file,
		bool failIfExists = false);
	// B_FILE_EXISTS when the entry exists.
	[[nodiscard]] status_t CreateDirectory(const char* path, BDirectory* directory);
	// A link holding linkTo as its text, stored as given.
	[[nodiscard]] status_t CreateSymLink(const char* path, const char* linkTo,
		BSymLink* link);

	// Entries directly in this folder, reached through the folder's
	// descriptor and never through a symbolic link: name is one component
	// (B_BAD_VALUE for "", ".", ".." or a name with "/"), and a link in its
	// place is not followed. A writer that walks down with these calls
	// stays below the folder it holds, whatever others rename or link
	// meanwhile. A link where a folder or file is wanted gives
	// B_NOT_ALLOWED. The Create calls fail with B_READ_ONLY_DEVICE on a
	// read-only volume.
	//
	// Opens the folder name, made first (mode 0777 less the umask) when
	// create is set and nothing is there; *created (may be null) says
	// whether it was made.
	[[nodiscard]] status_t OpenFolderAt(const char* name, bool create, BDirectory* folder,
		bool* created = nullptr) const;
	// A file opened B_WRITE_ONLY and made when missing; with failIfExists an
	// existing entry gives B_FILE_EXISTS, without it an existing file is
	// emptied.
	[[nodiscard]] status_t CreateFileAt(const char* name, bool failIfExists, BFile* file) const;
	// A new link holding text; B_FILE_EXISTS when the entry exists. link
	// (may be null) is set to the link itself.
	[[nodiscard]] status_t CreateSymLinkAt(const char* name, const char* text,
		BSymLink* link) const;
	// An existing file opened with openMode (no B_CREATE_FILE); a link
	// gives B_NOT_ALLOWED, anything but a file B_BAD_TYPE or
	// B_IS_A_DIRECTORY.
	[[nodiscard]] status_t OpenFileAt(const char* name, uint32 openMode, BFile* file) const;
	// The entry's own stat (a link is not followed), with the volume's id
	// as its device, as GetStat() gives it.
	[[nodiscard]] status_t GetStatAt(const char* name, struct stat* status) const;
	// Removes a file, link or empty folder.
	[[nodiscard]] status_t RemoveAt(const char* name) const;
	// Renames an entry within the folder, never replacing one:
	// B_FILE_EXISTS when newName is taken.
	[[nodiscard]] status_t RenameAt(const char* name, const char* newName) const;

private:
	[[nodiscard]] status_t _Open(const char* path);
	[[nodiscard]] status_t _LocateChild(const char* name, bool forWriting,
		VolumeTable::Location* child) const;
	[[nodiscard]] status_t _OpenFileAt(const char* name, uint32 openMode, BFile* file) const;
	[[nodiscard]] status_t _ReadNext(std::string* name, ino_t* node, unsigned char* type);
	void _CloseListing();
	[[nodiscard]] status_t _LocateNewEntry(const char* path, VolumeTable::Location* location) const;

	DIR* fListing = nullptr;
	size_t fRootIndex = 0;   // the listing position of the virtual root
};

// Creates a folder and any missing folders above it (mode less the umask).
// B_OK when it exists already; B_NOT_A_DIRECTORY when something else is in
// the way.
[[nodiscard]] status_t create_directory(const char* path, mode_t mode);
