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
// share one drive position. One thread at a time per handle.

#include <drivers/scsi.h>

#include "VirtualTapeLibrary.h"

namespace MorvaneKit {

class VirtualTapeDrive {
public:
	static constexpr size_t kSenseLength = 18;

	// stateFd is the drive's state file, open for reading and writing.
	VirtualTapeDrive(std::string folder, int stateFd);
	~VirtualTapeDrive();

	// Runs the command and fills its status, sense data and data.
	void Execute(raw_device_command* command);

	// What a command reports besides its data.
	struct Sense;

private:
	class Session;

	std::string fFolder;
	int fStateFd;
	// The tape of the last command, kept open while it stays in the drive.
	VirtualTape fTape;
	// The sense of the last command that had one, for REQUEST SENSE.
	uint8 fLastSense[kSenseLength] = {};
};

}	// namespace MorvaneKit
