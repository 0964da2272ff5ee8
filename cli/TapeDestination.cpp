#include "TapeDestination.h"

#include <drivers/scsi.h>

bool TapeDestination::IsDevicePath(const std::string& text)
{
	int32 bus, target, lun;
	return parse_raw_device_path(text.c_str(), &bus, &target, &lun);
}

BMessage TapeDestination::Settings(const std::string& device, bool overwrite)
{
	BMessage volume;
	volume.AddString("class", "MVVolume");
	volume.AddString("MVVOLNAME", device);
	volume.AddBool("MVVOLOVERWRITE", overwrite);
	volume.AddBool("MVVOLREMOVABLE", true);
	volume.AddString("class", kAddOn);
	volume.AddString("streamerdevice", device);
	return volume;
}
