#pragma once

// Raw SCSI devices: single commands sent to a device named
// "/dev/bus/scsi/<bus>/<target>/<lun>/raw".
//
// On Linux a device of bus B, target T and LUN L is the SCSI generic device
// (/dev/sgN) whose sysfs address is B:0:T:L (host B, channel 0); a command
// goes to it as one SG_IO request. Bus 9 holds the virtual tape drives of
// the folder $MORVANE_VTAPE_DIR (docs/tape-format.md): drive T, LUN 0,
// answers the sequential-access commands as a drive does, against a tape
// file, so that tapes work on any machine.
//
// Commands are raw_device_command records, sent with raw_device_ioctl()
// and B_RAW_DEVICE_COMMAND on a descriptor that open_raw_device() gave.
// The descriptors may be used from any thread, one command at a time each.

#include <sys/types.h>

#include <string>
#include <vector>

#include <support/SupportDefs.h>

// The request code of a raw SCSI command.
constexpr uint32 B_RAW_DEVICE_COMMAND = 10102;

enum {
	// Data moves from the device to the host.
	B_RAW_DEVICE_DATA_IN = 0x01,
	// data_length is set to the bytes actually moved.
	B_RAW_DEVICE_REPORT_RESIDUAL = 0x02,
	// A read that moves fewer bytes than asked for is no error.
	B_RAW_DEVICE_SHORT_READ_VALID = 0x04,
};

// cam_status values.
enum {
	B_CAM_REQUEST_COMPLETED = 0x01,
	B_CAM_REQUEST_FAILED = 0x04,
	B_CAM_DEVICE_TIMEOUT = 0x0b,
	B_CAM_NO_DEVICE = 0x0c,
};

struct raw_device_command {
	uint8 command[16];
	uint8 command_length;
	uint8 flags;
	uint8 scsi_status;		// 0 GOOD, 2 CHECK CONDITION, 8 BUSY, ...
	uint8 cam_status;		// B_CAM_REQUEST_COMPLETED when the device answered
	void* data;
	size_t data_length;
	void* sense_data;
	size_t sense_data_length;
	bigtime_t timeout;		// microseconds
};

// Reads bus, target and LUN of a path "/dev/bus/scsi/<bus>/<target>/<lun>/raw";
// false for any other text.
bool parse_raw_device_path(const char* path, int32* bus, int32* target, int32* lun);
// Opens a raw device; a descriptor, or -1 with errno set (ENOENT for a
// device that does not exist). flags are open(2)'s; the device is used
// for commands only, whatever they say.
int open_raw_device(const char* path, int flags);
// Closes it; 0, or -1 with errno set.
int close_raw_device(int fd);
// Sends the command record (op B_RAW_DEVICE_COMMAND, length at least
// sizeof(raw_device_command)); 0 when the command went to the device (its
// outcome is in the record), -1 with errno set when it could not be sent.
int raw_device_ioctl(int fd, uint32 op, void* buffer, size_t length);

// The raw devices as "/dev/bus/scsi/<bus>/<target>/<lun>/raw": the SCSI
// generic devices of this machine and the virtual tape drives.
std::vector<std::string> list_raw_devices();
