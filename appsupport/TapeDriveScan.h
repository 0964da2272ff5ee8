#pragma once

// TapeDriveScan: the tape drives among the raw SCSI devices, as the drive
// menu and `morvane drives` list them: every device the kit lists that
// answers a standard INQUIRY as a sequential-access device, named
// "<vendor> <product> (<bus>/<target>/<lun>)". INQUIRY data comes from a
// device and is read bounded; characters a name cannot show become '?'.

#include <string>
#include <vector>

#include <support/SupportDefs.h>

struct TapeDrive {
	std::string path;		// "/dev/bus/scsi/B/T/L/raw"
	std::string vendor;
	std::string product;
	int32 bus = 0;
	int32 target = 0;
	int32 lun = 0;

	std::string MenuName() const;
};

namespace TapeDriveScan {

// The drive from a device path and its INQUIRY data; false for data that
// is short or names another kind of device.
bool FromInquiry(const std::string& path, const uint8* data, size_t length, TapeDrive* drive);
std::vector<TapeDrive> Scan();

}	// namespace TapeDriveScan
