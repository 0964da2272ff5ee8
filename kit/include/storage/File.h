#pragma once

// BFile: a regular file opened for reading and/or writing, with its
// attributes (BNode) and byte access (BPositionIO).
//
// A symbolic link at the end of the path is followed, as BEntry(path, true)
// does. The open mode is one of B_READ_ONLY, B_WRITE_ONLY, B_READ_WRITE,
// with B_CREATE_FILE, B_FAIL_IF_EXISTS, B_ERASE_FILE and B_OPEN_AT_END added
// as needed; a new file gets 0666 less the umask. Opening a folder gives
// B_IS_A_DIRECTORY. Any mode that may change the file fails with
// B_READ_ONLY_DEVICE on a read-only volume.
//
// Read and Write move the file position; ReadAt and WriteAt do not. Reads
// and writes are retried after signals and short transfers: a call moves
// all the bytes asked for unless the file ends or an error comes, in which
// case it returns the bytes moved so far (or the error when none moved).
// With B_OPEN_AT_END every Write appends. Files are 64-bit throughout.
//
// A BFile is used by one thread at a time and cannot be copied.

#include <support/DataIO.h>
#include <storage/Node.h>
#include <storage/VolumeTable.h>

class BFile : public BNode, public BPositionIO {
public:
	BFile() = default;
	BFile(const char* path, uint32 openMode);
	BFile(const entry_ref* ref, uint32 openMode);
	BFile(const BEntry* entry, uint32 openMode);
	BFile(const BDirectory* directory, const char* path, uint32 openMode);
	BFile(const BFile&) = delete;
	BFile& operator=(const BFile&) = delete;
	~BFile() override = default;

	[[nodiscard]] status_t SetTo(const char* path, uint32 openMode);
	[[nodiscard]] status_t SetTo(const entry_ref* ref, uint32 openMode);
	[[nodiscard]] status_t SetTo(const BEntry* entry, uint32 openMode);
	[[nodiscard]] status_t SetTo(const BDirectory* directory, const char* path,
		uint32 openMode);

	bool IsReadable() const;
	bool IsWritable() const;

	[[nodiscard]] ssize_t Read(void* buffer, size_t size) override;
	[[nodiscard]] ssize_t Write(const void* buffer, size_t size) override;
	[[nodiscard]] ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	[[nodiscard]] ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override;
	[[nodiscard]] status_t SetSize(off_t size) override;
	[[nodiscard]] status_t GetSize(off_t* size) const override;

private:
	friend class BDirectory;

	[[nodiscard]] status_t _Open(const char* path, uint32 openMode);
	// Opens location.native, or name relative to the folder descriptor
	// folderFd when one is given.
	[[nodiscard]] status_t _OpenLocated(VolumeTable::Location location, uint32 openMode,
		int folderFd = -1, const char* name = nullptr);

	uint32 fOpenMode = 0;
};
