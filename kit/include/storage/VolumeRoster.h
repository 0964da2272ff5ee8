#pragma once

// BVolumeRoster: walks the volumes of the VolumeTable in table order, the
// boot volume first.

#include <storage/Volume.h>

class BVolumeRoster {
public:
	// The next volume; B_BAD_VALUE after the last.
	[[nodiscard]] status_t GetNextVolume(BVolume* volume);
	void Rewind() { fCookie = 0; }
	[[nodiscard]] status_t GetBootVolume(BVolume* volume);

private:
	int32 fCookie = 0;
};
