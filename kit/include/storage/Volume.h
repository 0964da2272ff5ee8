#pragma once

// BVolume: one volume of the VolumeTable, by id.
//
// Capacity and free bytes are read from the file system on each call (or,
// for a MORVANE_VOLUMES entry with "size", computed from the files below its
// folder). Volumes know attributes and MIME types where their file system
// keeps extended attributes; no volume knows queries.

#include <sys/types.h>

#include <storage/StorageDefs.h>
#include <support/Errors.h>

class BDirectory;

class BVolume {
public:
	BVolume() = default;
	explicit BVolume(dev_t device);

	// B_BAD_VALUE for an id that names no volume.
	[[nodiscard]] status_t SetTo(dev_t device);
	void Unset();
	[[nodiscard]] status_t InitCheck() const { return fStatus; }

	// The volume id; 0 when not initialised.
	dev_t Device() const { return fDevice; }
	// Copies the name into a buffer of B_FILE_NAME_LENGTH bytes.
	[[nodiscard]] status_t GetName(char* name) const;
	[[nodiscard]] status_t GetRootDirectory(BDirectory* directory) const;
	// Bytes, or a negative status.
	off_t Capacity() const;
	off_t FreeBytes() const;
	off_t BlockSize() const;

	bool IsReadOnly() const;
	bool IsRemovable() const;
	bool IsPersistent() const;
	bool IsShared() const;
	bool KnowsAttr() const;
	bool KnowsMime() const;
	bool KnowsQuery() const;

	bool operator==(const BVolume& other) const;
	bool operator!=(const BVolume& other) const { return !(*this == other); }

private:
	bool _HasFlag(uint32 flag) const;

	dev_t fDevice = 0;
	status_t fStatus = B_NO_INIT;
};
