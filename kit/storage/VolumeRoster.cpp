#include <storage/VolumeRoster.h>

#include <storage/VolumeTable.h>

status_t BVolumeRoster::GetNextVolume(BVolume* volume)
{
	if (volume == nullptr)
		return B_BAD_VALUE;
	VolumeTable::Volume next;
	status_t status = VolumeTable::GetNextVolume(&fCookie, &next);
	if (status != B_OK)
		return status;
	return volume->SetTo(next.device);
}


status_t BVolumeRoster::GetBootVolume(BVolume* volume)
{
	if (volume == nullptr)
		return B_BAD_VALUE;
	dev_t boot = VolumeTable::BootDevice();
	return boot != 0 ? volume->SetTo(boot) : B_ENTRY_NOT_FOUND;
}
