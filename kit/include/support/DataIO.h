#pragma once

// Byte streams. BDataIO reads and writes in sequence; BPositionIO adds a
// position. BFile is a BPositionIO over a file; BMemoryIO and BMallocIO keep
// the bytes in memory, for messages and archives built or read in memory.
// Read and Write return the bytes moved or a negative status.

#include <sys/types.h>
#include <unistd.h>

#include <vector>

#include "Errors.h"
#include "SupportDefs.h"

class BDataIO {
public:
	virtual ~BDataIO() = default;

	virtual ssize_t Read(void* buffer, size_t size) = 0;
	virtual ssize_t Write(const void* buffer, size_t size) = 0;

	// Reads or writes exactly size bytes; B_PARTIAL_READ or the stream's
	// error when it cannot.
	[[nodiscard]] status_t ReadExactly(void* buffer, size_t size);
	// Reads until size bytes arrived or the stream ends: the bytes read, or
	// the error of the first read when nothing could be read.
	ssize_t ReadFully(void* buffer, size_t size);
	[[nodiscard]] status_t WriteExactly(const void* buffer, size_t size);
};

constexpr status_t B_PARTIAL_READ = B_GENERAL_ERROR_BASE + 0x3000;
constexpr status_t B_PARTIAL_WRITE = B_GENERAL_ERROR_BASE + 0x3001;

class BPositionIO : public BDataIO {
public:
	ssize_t Read(void* buffer, size_t size) override;
	ssize_t Write(const void* buffer, size_t size) override;

	virtual ssize_t ReadAt(off_t position, void* buffer, size_t size) = 0;
	virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size) = 0;
	// The new position, or a negative status. seekMode is SEEK_SET,
	// SEEK_CUR or SEEK_END.
	virtual off_t Seek(off_t position, uint32 seekMode) = 0;
	virtual off_t Position() const = 0;
	[[nodiscard]] virtual status_t SetSize(off_t size) = 0;
	[[nodiscard]] virtual status_t GetSize(off_t* size) const = 0;
};

// A fixed block of memory that the caller owns; writing past its end fails.
class BMemoryIO : public BPositionIO {
public:
	BMemoryIO(void* buffer, size_t size);
	BMemoryIO(const void* buffer, size_t size);   // read only

	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override { return fPosition; }
	[[nodiscard]] status_t SetSize(off_t size) override;
	[[nodiscard]] status_t GetSize(off_t* size) const override;

private:
	char* fBuffer;
	size_t fLength;
	size_t fCapacity;
	off_t fPosition = 0;
	bool fReadOnly;
};

// A growing block of memory that the object owns.
class BMallocIO : public BPositionIO {
public:
	ssize_t ReadAt(off_t position, void* buffer, size_t size) override;
	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override;
	off_t Seek(off_t position, uint32 seekMode) override;
	off_t Position() const override { return fPosition; }
	[[nodiscard]] status_t SetSize(off_t size) override;
	[[nodiscard]] status_t GetSize(off_t* size) const override;

	const void* Buffer() const { return fData.data(); }
	size_t BufferLength() const { return fData.size(); }

private:
	std::vector<char> fData;
	off_t fPosition = 0;
};
