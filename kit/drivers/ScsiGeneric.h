#pragma once

// ScsiGeneric: raw commands to the SCSI generic devices (/dev/sgN) of this
// machine. "/dev/bus/scsi/B/T/L/raw" is the sg device whose sysfs address
// is B:0:T:L. A command record becomes one sg_io_hdr for the SG_IO ioctl;
// the ioctl itself can be replaced, so that tests see the header that a
// real drive would get.
//
// Time-outs: the record's time-out is raised, for the commands that move
// or write the whole tape, to what such a command may take on a real
// drive: rewind, load and unload, space, locate and write filemarks 15
// minutes; a long erase 8 hours; reads and writes 5 minutes (a drive may
// reposition first). Other commands keep the record's time-out.

#include <scsi/sg.h>

#include <string>
#include <vector>

#include <drivers/scsi.h>

namespace MorvaneKit {

namespace ScsiGeneric {

using Ioctl = int (*)(int fd, sg_io_hdr_t* header);

// The sg device of a bus, target and LUN ("/dev/sgN"); "" when none.
std::string DevicePath(int32 bus, int32 target, int32 lun);
// The raw device paths of every sg device.
std::vector<std::string> Devices();

// The header for a command record, pointing into it.
void BuildHeader(raw_device_command* command, sg_io_hdr_t* header);
// The command's status, sense length and moved bytes from the answer.
void TakeResult(const sg_io_hdr_t& header, raw_device_command* command);
// Sends a command: builds the header, runs the ioctl, takes the result.
// 0, or -1 with errno set when the ioctl failed.
int Send(int fd, raw_device_command* command);

// Replaces the ioctl (null: the system's); the previous one.
Ioctl SetIoctl(Ioctl ioctl);

}	// namespace ScsiGeneric

}	// namespace MorvaneKit
