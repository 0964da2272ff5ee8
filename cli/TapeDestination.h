#pragma once

// The tape streamer destination as a job names it: the add-on
// "MVSCSIStreamer" and its settings for a drive, given by its raw device
// path ("/dev/bus/scsi/B/T/L/raw").

#include <string>

#include <app/Message.h>

namespace TapeDestination {

constexpr const char* kAddOn = "MVSCSIStreamer";

// Whether text names a raw SCSI device.
bool IsDevicePath(const std::string& text);
// The add-on's settings for the drive; overwrite writes the backup at the
// beginning of the tape, over every backup there.
BMessage Settings(const std::string& device, bool overwrite);

}	// namespace TapeDestination
