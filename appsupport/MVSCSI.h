#pragma once

// MVSCSI: single SCSI-2 commands of the sequential-access set to one tape
// device, through the kit's raw device interface (<drivers/scsi.h>). Each
// command returns the device's SCSI status byte (0 GOOD, 2 CHECK
// CONDITION, 8 BUSY, ...), or 2 when no device is open, the command could
// not be sent or the device did not answer. The object keeps no tape state
// but the full flag, set when a write reports the early-warning end of
// medium.
//
// Every command carries a 1-second time-out (the kit raises it for
// commands that take longer on a real drive) and the object's sense buffer
// (255 bytes; none for TEST UNIT READY), which SenseData() gives after the
// command.
//
// The diagnostic trace, off unless SetTrace() turns it on, appends a block
// per operation to "mvscsi.log" in the user's state folder
// ($XDG_STATE_HOME/morvane, else ~/.local/state/morvane).
//
// One thread at a time per object; two objects may have one device open.
// The streamer destination and the command line's tape commands share it.

#include <cstdio>
#include <string>

#include <drivers/scsi.h>
#include <support/Errors.h>

class MVSCSI {
public:
	static constexpr size_t kSenseBufferSize = 256;
	static constexpr size_t kSenseLength = 255;
	static constexpr uint8 kCheckCondition = 2;

	// How a command reaches the device; tests replace it to see the
	// records. 0 when the command was sent.
	using CommandSender = int (*)(int fd, raw_device_command* command);

	MVSCSI();
	explicit MVSCSI(const char* path);
	~MVSCSI();
	MVSCSI(const MVSCSI&) = delete;
	MVSCSI& operator=(const MVSCSI&) = delete;

	// Opens the device (closing one that is open) and clears the full
	// flag; 0, or -1 when it cannot be opened or path is null.
	int32 SetTo(const char* path);
	void Unset();
	status_t InitCheck() const { return fDevice >= 0 ? B_OK : B_NO_INIT; }
	bool IsFull() const { return fFull; }

	void SetTrace(bool trace) { fTrace = trace; }
	const uint8* SenseData() const { return fSense; }
	// The sense key and the end-of-medium bit of the last sense data.
	uint8 SenseKey() const { return fSense[2] & 0x0f; }
	bool SenseEndOfMedium() const { return (fSense[2] & 0x40) != 0; }

	uint8 TestUnitReady();
	uint8 Rewind();
	uint8 RequestSense(void* buffer, size_t length);
	uint8 Format();
	uint8 ReadBlockLimits(void* buffer, size_t length);
	uint8 Read(void* buffer, size_t length, bool fixed, bool sili);
	uint8 Write(const void* buffer, size_t length, bool fixed);
	uint8 WriteFilemarks(int32 count, bool setmarks, bool immediate);
	// code: 0 blocks, 1 filemarks, 2 sequential filemarks, 3 end of data;
	// a negative count moves backwards.
	uint8 Space(int32 count, uint8 code);
	uint8 Inquiry(void* buffer, size_t length, uint8 page, bool cmddt, bool evpd);
	uint8 ModeSelect(const void* buffer, size_t length, bool pf, bool sp);
	uint8 Erase(bool longErase, bool immediate);
	uint8 ModeSense(void* buffer, size_t length, uint8 page, uint8 control, bool dbd);
	uint8 LoadUnload(bool immediate, bool eot, bool retension, bool load);
	uint8 Locate(uint32 block, uint8 partition, bool bt, bool cp, bool immediate);
	uint8 ReadPosition(void* buffer, size_t length, bool a, bool b, bool c);

	// Replaces how commands are sent (null: the kit's raw device call);
	// the previous one.
	static CommandSender SetCommandSender(CommandSender sender);

private:
	struct Command;

	uint8 _Do(Command& command, const char* name);
	uint8 _EndOfMediumCheck(uint8 status);
	void _Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));
	void _TraceDump(const void* data, size_t length);
	bool _OpenTrace();
	void _CloseTrace();

	int fDevice = -1;
	uint8 fSense[kSenseBufferSize] = {};
	bool fTrace = false;
	FILE* fTraceFile = nullptr;
	bool fFull = false;
};
