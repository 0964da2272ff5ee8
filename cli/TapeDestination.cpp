#include "TapeDestination.h"

#include <cstdio>

bool TapeDestination::IsDevicePath(const std::string& text)
{
	int bus, target, lun, consumed = 0;
	return sscanf(text.c_str(), "/dev/bus/scsi/%d/%d/%d/raw%n", &bus, &target, &lun,
		&consumed) == 3 && size_t(consumed) == text.size() && bus >= 0 && target >= 0
		&& lun >= 0;
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
