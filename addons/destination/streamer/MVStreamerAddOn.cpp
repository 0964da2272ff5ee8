// The entry points of the add-on file MVSCSIStreamer. Nothing may throw past
// them into the program that loaded the add-on.

#include <new>

#include "MVStreamer.h"

extern "C" {

__attribute__((visibility("default"))) MVVolume* instantiate_mvvolume()
{
	try {
		return new MVStreamer;
	} catch (...) {
		return nullptr;
	}
}


__attribute__((visibility("default"))) MVVolume* instantiate2_mvvolume(BMessage* archive)
{
	try {
		MVVolume* streamer = MVStreamer::Instantiate(archive);
		return streamer != nullptr ? streamer : new MVStreamer;
	} catch (...) {
		return nullptr;
	}
}

}	// extern "C"
