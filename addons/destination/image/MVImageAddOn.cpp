// The entry points of the add-on file MVImage. Nothing may throw past them
// into the program that loaded the add-on.

#include <new>

#include "MVImage.h"

extern "C" {

__attribute__((visibility("default"))) MVVolume* instantiate_mvvolume()
{
	try {
		return new MVImage;
	} catch (...) {
		return nullptr;
	}
}


// The image destination keeps nothing in its archive.
__attribute__((visibility("default"))) MVVolume* instantiate2_mvvolume(BMessage* archive)
{
	return instantiate_mvvolume();
}

}	// extern "C"
