#pragma once

// VirtualTape: a tape of the virtual tape drive, held in a file
// (docs/tape-format.md). A header gives the tape's capacity, its
// early-warning zone, write protection and a place where the medium is
// bad; records follow, each framed by its length before and after, so that
// the tape can be read and spaced in both directions. The end of the file
// is the end of data.
//
// Offsets are byte offsets in the file; kFirstRecord is the beginning of
// the tape. The file comes from the user's folder and is checked as it is
// read: a record that does not fit is Damaged, never trusted. One thread
// at a time.
//
// Records written at the end of data are gathered in memory, as a drive
// buffers them, and reach the file together: when a megabyte is gathered,
// before anything else is done with the tape, and on FlushPending().

#include <sys/types.h>

#include <string>
#include <vector>

#include <support/SupportDefs.h>

namespace MorvaneKit {

class VirtualTape {
public:
	static constexpr uint64 kFirstRecord = 64;
	static constexpr uint32 kMaxBlock = 0xffffff;
	// The framing of one record: a length word before and after.
	static constexpr uint64 kFraming = 8;

	struct Header {
		uint64 capacity = 0;		// bytes of records the tape holds
		uint64 earlyWarning = 0;	// bytes before the capacity where warning begins
		bool writeProtected = false;
		uint64 badAt = 0;			// a record crossing this byte fails; 0: none
	};

	enum class Record { Data, Filemark, EndOfData, Damaged };

	VirtualTape() = default;
	~VirtualTape();
	VirtualTape(const VirtualTape&) = delete;
	VirtualTape& operator=(const VirtualTape&) = delete;

	// Makes a blank tape file; B_FILE_EXISTS when there is one.
	[[nodiscard]] static status_t Create(const std::string& path, const Header& header);
	// Opens a tape file; B_BAD_DATA when it is not one.
	[[nodiscard]] status_t Open(const std::string& path);
	// The tape file at path, reopened only when another file took its
	// place; the header and end are read again either way (another
	// process may have written or protected the tape).
	[[nodiscard]] status_t Reopen(const std::string& path);
	void Close();
	[[nodiscard]] status_t SetWriteProtected(bool writeProtected);

	const Header& GetHeader() const { return fHeader; }
	uint64 End() const { return fEnd; }
	// Bytes of records up to offset.
	static uint64 Used(uint64 offset) { return offset - kFirstRecord; }
	bool InEarlyWarning(uint64 offset) const;

	// The record that begins at offset and its data length.
	Record RecordAt(uint64 offset, uint32* length);
	// The record that ends at offset: its kind, length and start.
	Record RecordBefore(uint64 offset, uint32* length, uint64* start);
	// Reads up to size bytes of the data record at offset; B_IO_ERROR for a
	// record that crosses the bad place.
	[[nodiscard]] status_t ReadData(uint64 offset, uint32 length, void* buffer, uint32 size);

	// Writes a record at offset, ending the tape after it (what followed is
	// gone); the offset after it. B_DEVICE_FULL when it would pass the
	// capacity (nothing is written), B_IO_ERROR when it crosses the bad
	// place (nothing is written either).
	[[nodiscard]] status_t Write(uint64 offset, bool filemark, const void* data, uint32 length,
		uint64* next);
	// Ends the tape at offset.
	[[nodiscard]] status_t Truncate(uint64 offset);
	// Puts what was written onto the disk.
	[[nodiscard]] status_t Flush();

	// Records written but not yet in the file.
	uint32 PendingRecords() const { return fPendingRecords; }
	// Writes them to the file. When that fails they are gone, the tape
	// ends where the file does, and B_IO_ERROR is returned.
	[[nodiscard]] status_t FlushPending();

private:
	bool _CrossesBadPlace(uint64 start, uint64 end) const;

	// Reads the header; size is the file's, the end of its data.
	[[nodiscard]] status_t _ReadHeader(off_t size);

	static constexpr size_t kPendingLimit = 1 << 20;

	int fFd = -1;
	std::string fPath;
	dev_t fDevice = 0;
	ino_t fNode = 0;
	Header fHeader;
	// The end of data, pending records included.
	uint64 fEnd = kFirstRecord;
	std::vector<uint8> fPending;
	uint32 fPendingRecords = 0;
};

}	// namespace MorvaneKit
