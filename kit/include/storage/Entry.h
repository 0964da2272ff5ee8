#pragma once

// BEntry: a named place in a folder, which may or may not hold a node.
//
// An entry is set from a system path ("/<volume>/..."), from a folder and a
// path relative to it, or from an entry_ref. Its folder must exist; the
// entry itself need not (Exists() tells). With traverse, a symbolic link at
// the end of the path is followed, link after link, to the entry it names;
// relative link texts are read against the link's folder, absolute ones are
// native paths and must lie on a volume (else B_ENTRY_NOT_FOUND).
//
// The root "/" is the virtual folder of the volumes; "/<volume>" are the
// volume roots. Neither can be renamed, moved or removed (B_NOT_ALLOWED).
// Moving an entry to another volume gives B_CROSS_DEVICE_LINK, even where
// two volumes share a Linux file system.
//
// A BEntry holds no descriptor; it is a small value, used by one thread at
// a time.

#include <string>

#include <storage/EntryRef.h>
#include <storage/Statable.h>
#include <storage/StorageDefs.h>
#include <storage/VolumeTable.h>
#include <support/Errors.h>

class BDirectory;
class BPath;

class BEntry : public BStatable {
public:
	BEntry() = default;
	explicit BEntry(const char* path, bool traverse = false);
	BEntry(const BDirectory* directory, const char* path, bool traverse = false);
	explicit BEntry(const entry_ref* ref, bool traverse = false);

	[[nodiscard]] status_t SetTo(const char* path, bool traverse = false);
	[[nodiscard]] status_t SetTo(const BDirectory* directory, const char* path,
		bool traverse = false);
	[[nodiscard]] status_t SetTo(const entry_ref* ref, bool traverse = false);
	void Unset();
	[[nodiscard]] status_t InitCheck() const { return fStatus; }

	bool Exists() const;
	// The system path, normalised, or null.
	const char* Path() const;
	// The leaf name; "" for the root, null when not initialised.
	const char* Name() const;
	// Copies the leaf name into a buffer of B_FILE_NAME_LENGTH bytes.
	[[nodiscard]] status_t GetName(char* buffer) const;
	[[nodiscard]] status_t GetPath(BPath* path) const;
	[[nodiscard]] status_t GetRef(entry_ref* ref) const;
	// The folder holding the entry; B_ENTRY_NOT_FOUND for the root.
	[[nodiscard]] status_t GetParent(BEntry* parent) const;
	[[nodiscard]] status_t GetParent(BDirectory* parent) const;

	// Renames the entry inside its folder. Without clobber an existing
	// entry of the new name gives B_FILE_EXISTS. The BEntry follows the move.
	[[nodiscard]] status_t Rename(const char* newName, bool clobber = false);
	// Moves the entry into directory, under path (relative to directory)
	// or under its own name when path is null.
	[[nodiscard]] status_t MoveTo(const BDirectory* directory, const char* path = nullptr,
		bool clobber = false);
	// Removes the node: a file or link, or an empty folder.
	[[nodiscard]] status_t Remove();

	// The same place, whichever name of the boot volume the paths use.
	bool operator==(const BEntry& other) const;
	bool operator!=(const BEntry& other) const { return !(*this == other); }

protected:
	[[nodiscard]] status_t _GetStatTarget(StatTarget* target) const override;

private:
	// A file opened from an entry starts from its place, found already.
	friend class BFile;

	[[nodiscard]] status_t _MoveTo(const std::string& target, bool clobber);

	VolumeTable::Location fLocation;
	status_t fStatus = B_NO_INIT;
};

// The ref of a system path; the entry's folder must exist.
[[nodiscard]] status_t get_ref_for_path(const char* path, entry_ref* ref);
