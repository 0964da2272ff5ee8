#pragma once

// VirtualTapeDrive: one handle on a virtual tape drive of the library
// folder. It answers the sequential-access commands as a drive does:
// INQUIRY, TEST UNIT READY, variable-length READ and WRITE with the
// incorrect-length rules, WRITE FILEMARKS, SPACE over blocks, filemarks and
// to end of data in both directions, REWIND, ERASE, LOAD/UNLOAD, MODE
// SENSE/SELECT with a block descriptor and the write-protect bit, READ
// BLOCK LIMITS, READ POSITION, LOCATE and REQUEST SENSE. Errors come as
// CHECK CONDITION with fixed-format sense data: the filemark, EOM and ILI
// bits, the information field (residue) and the sense keys NOT READY,
// MEDIUM ERROR, BLANK CHECK, DATA PROTECT, ILLEGAL REQUEST and VOLUME
// OVERFLOW. Early warning comes as EOM with NO SENSE on a write that was
// done.
//
// The drive's state lives in its state file (VirtualTapeLibrary), locked
// for the length of each command, so that handles in several processes
// share one drive position. Writes are buffered as a drive buffers them:
// while written records wait in memory the handle keeps the lock (and the
// state it read), and lets go when a megabyte is written out, before any
// other command, and when no command came for kIdleRelease. An error in
// writing them out is reported by the next command, as MEDIUM ERROR.
// One thread at a time per handle.

#include <drivers/scsi.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "VirtualTapeLibrary.h"

namespace MorvaneKit {

class VirtualTapeDrive {
public:
	static constexpr size_t kSenseLength = 18;

	static constexpr std::chrono::milliseconds kIdleRelease{20};

	// stateFd is the drive's state file, open for reading and writing; the
	// handle closes it.
	VirtualTapeDrive(std::string folder, int stateFd);
	~VirtualTapeDrive();
	VirtualTapeDrive(const VirtualTapeDrive&) = delete;
	VirtualTapeDrive& operator=(const VirtualTapeDrive&) = delete;

	// Runs the command and fills its status, sense data and data.
	void Execute(raw_device_command* command);

	// What a command reports besides its data.
	struct Sense;

private:
	class Session;

	// Locks the state file and reads the state.
	bool _Acquire();
	// Writes the pending records; the sense of a failure.
	Sense _WritePending();
	// Writes the pending records and the state, and unlocks.
	bool _LetGo();
	void _LetGoWhenIdle();

	std::string fFolder;
	int fStateFd;
	// The tape of the last command, kept open while it stays in the drive.
	VirtualTape fTape;
	// The sense of the last command that had one, for REQUEST SENSE.
	uint8 fLastSense[kSenseLength] = {};

	std::mutex fLock;
	// The state under the lock, and as the state file holds it.
	TapeDriveState fState;
	TapeDriveState fFileState;
	bool fHolding = false;
	bool fDeferredError = false;
	std::chrono::steady_clock::time_point fLastCommand;
	bool fQuitting = false;
	std::condition_variable fWake;
	std::thread fReleaser;
};

}	// namespace MorvaneKit
