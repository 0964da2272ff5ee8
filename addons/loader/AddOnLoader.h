#pragma once

// Loading destination and compressor add-ons from the "add-ons" folder
// beside the server program.
//
// A load finds the add-on file of the given name, looks up its factory
// ("instantiate_mvvolume" or "instantiate_mvcruncher"), calls it and hands the
// new object a copy of the settings. The caller owns the object and must
// delete it before it unloads the image. Add-on names come from job records
// and catalogues, so only a plain file name is accepted: a name with a '/',
// or "." or "..", never reaches the loader.
//
// The image slot passed in is the caller's record of the image it has loaded
// of that kind: on success the image it names (if any) is unloaded and the
// new one takes its place; on any failure it is left as it was, so the
// previous add-on stays loaded, and a new image whose factory is missing or
// made no object is unloaded again. Since a successful load unloads the
// slot's previous image, the object that image made must be deleted first.

#include <string>

#include <app/Message.h>
#include <kernel/image.h>

#include "CruncherAddOn.h"
#include "MVVolume.h"

class AddOnLoader {
public:
	// Loads from "<serverFolder>/add-ons/..." (a native folder).
	explicit AddOnLoader(std::string serverFolder);
	// Loads from the add-ons of the running program.
	AddOnLoader();

	// *failure (when given) tells why nothing was made: B_BAD_VALUE for a
	// name that is no plain file name, the loader's error for a file that
	// is missing or no add-on, B_MISSING_SYMBOL for an add-on without its
	// factory, B_ERROR for a factory that made nothing.
	MVVolume* LoadDestination(const char* name, const BMessage* settings,
		image_id* imageSlot, status_t* failure = nullptr) const;
	MVCruncher* LoadCruncher(const char* name, const BMessage* settings,
		image_id* imageSlot, status_t* failure = nullptr) const;

	// Unloads the image of a slot, if any, and clears the slot.
	static void Free(image_id* imageSlot);

	static bool IsPlainFileName(const char* name);

private:
	// The add-on's factory result, or null with the reason in *failure; the
	// new image in *image.
	void* _Instantiate(const char* folder, const char* name, const char* symbol,
		image_id* image, status_t* failure) const;

	std::string fServerFolder;
};
