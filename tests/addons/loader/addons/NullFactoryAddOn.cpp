// A destination add-on whose factory makes no object.

#include "MVVolume.h"

extern "C" __attribute__((visibility("default"))) MVVolume* instantiate_mvvolume()
{
	return nullptr;
}
