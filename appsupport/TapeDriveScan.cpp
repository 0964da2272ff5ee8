#include "TapeDriveScan.h"

#include <drivers/scsi.h>


#include "MVSCSI.h"

namespace {

constexpr size_t kInquiryLength = 36;
constexpr uint8 kSequentialAccess = 0x01;

// Bytes from..to of INQUIRY data as text, trailing blanks (and the NULs
// some devices pad with) removed.
std::string Field(const uint8* data, size_t from, size_t to)
{
	std::string text;
	for (size_t i = from; i < to; i++) {
		if (data[i] == 0)
			text += ' ';
		else
			text += data[i] >= 0x20 && data[i] < 0x7f ? char(data[i]) : '?';
	}
	while (!text.empty() && text.back() == ' ')
		text.pop_back();
	return text;
}

}	// namespace

std::string TapeDrive::MenuName() const
{
	return vendor + " " + product + " (" + std::to_string(bus) + "/" + std::to_string(target)
		+ "/" + std::to_string(lun) + ")";
}

bool TapeDriveScan::FromInquiry(const std::string& path, const uint8* data, size_t length,
	TapeDrive* drive)
{
	// Peripheral qualifier 0 (connected) and device type 1.
	if (data == nullptr || length < kInquiryLength || data[0] != kSequentialAccess)
		return false;
	*drive = TapeDrive();
	drive->path = path;
	drive->vendor = Field(data, 8, 16);
	drive->product = Field(data, 16, 32);
	if (!parse_raw_device_path(path.c_str(), &drive->bus, &drive->target, &drive->lun))
		drive->bus = drive->target = drive->lun = 0;
	return true;
}

std::vector<TapeDrive> TapeDriveScan::Scan()
{
	std::vector<TapeDrive> drives;
	for (const std::string& path : list_raw_devices()) {
		MVSCSI device;
		uint8 data[kInquiryLength] = {};
		TapeDrive drive;
		if (device.SetTo(path.c_str()) == 0
			&& device.Inquiry(data, sizeof(data), 0, false, false) == 0
			&& FromInquiry(path, data, sizeof(data), &drive))
			drives.push_back(drive);
	}
	return drives;
}
