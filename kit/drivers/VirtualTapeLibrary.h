#pragma once

// VirtualTapeLibrary: the folder $MORVANE_VTAPE_DIR of the virtual tape
// drives. It holds tapes ("<name>.vtape") and the drives ("drive<N>.state",
// N from 0 to kMaxDrives - 1), each a small text file with the tape that is
// in the drive and where the drive stands on it:
//
//   tape <name>        (absent: the drive is empty)
//   offset <bytes>     (the next record's place in the tape file)
//   block <number>     (records from the beginning of the tape)
//   blocklength <n>    (0: variable blocks)
//
// Every process that uses a drive reads and writes its state file under an
// exclusive lock on it, so that the drive stands in one place for all.

#include <string>
#include <vector>

#include <support/SupportDefs.h>

#include "VirtualTape.h"

namespace MorvaneKit {

struct TapeDriveState {
	std::string tape;
	uint64 offset = VirtualTape::kFirstRecord;
	uint64 block = 0;
	uint32 blockLength = 0;
};

class VirtualTapeLibrary {
public:
	static constexpr int32 kMaxDrives = 16;
	static constexpr int32 kBus = 9;

	// The folder of $MORVANE_VTAPE_DIR; false when it is not set.
	static bool GetFolder(std::string* folder);
	// A tape name is a plain file name without the extension.
	static bool IsTapeName(const std::string& name);

	explicit VirtualTapeLibrary(std::string folder) : fFolder(std::move(folder)) {}

	std::string TapePath(const std::string& name) const;
	std::string DrivePath(int32 drive) const;
	// The drives there are (their state files).
	std::vector<int32> Drives() const;
	// The tape names there are, sorted.
	std::vector<std::string> Tapes() const;

	[[nodiscard]] status_t NewTape(const std::string& name, const VirtualTape::Header& header);
	// Puts a tape into the drive (made when missing), at its beginning.
	[[nodiscard]] status_t Load(int32 drive, const std::string& name);
	// Takes the tape out of the drive.
	[[nodiscard]] status_t Unload(int32 drive);
	// The state of a drive, read under its lock.
	[[nodiscard]] status_t GetState(int32 drive, TapeDriveState* state) const;

	// The state file's text, and reading it back (false for text that is
	// not a state; empty lines are skipped).
	static std::string FormatState(const TapeDriveState& state);
	static bool ParseState(const std::string& text, TapeDriveState* state);
	// Reads and writes the state file behind fd (locked by the caller). The
	// file keeps one size, its text padded with empty lines, so that a
	// write changes no block of the file system.
	static bool ReadStateFile(int fd, TapeDriveState* state);
	static bool WriteStateFile(int fd, const TapeDriveState& state);

private:
	[[nodiscard]] status_t _SetState(int32 drive, const TapeDriveState& state);

	std::string fFolder;
};

}	// namespace MorvaneKit
