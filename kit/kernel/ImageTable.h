#pragma once

// The add-on images loaded by load_add_on(), by image id.
//
// Thread-safe. The table owns the loader handles: an image is closed
// (dlclose) once it has been removed and the last Find() result that uses it
// is gone, so that a lookup in one thread never meets an image another
// thread is unloading. The lock is never held while the loader runs: the
// loader runs add-on constructors and destructors, which may load add-ons
// themselves.
//
// Ids count up from 1 and are not reused until the count wraps, so that a
// stale id does not name a newer image.

#include <memory>
#include <mutex>
#include <unordered_map>

#include <kernel/image.h>

namespace MorvaneKit {

class ImageTable {
public:
	static ImageTable& Default();

	// Takes over a handle of dlopen(); the new image id, or B_NO_MEMORY (the
	// handle is closed then).
	image_id Add(void* handle);
	// The image's handle, which stays open while the result lives; null for
	// unknown ids.
	std::shared_ptr<void> Find(image_id image) const;
	// Forgets the image; false for unknown ids.
	bool Remove(image_id image);

private:
	ImageTable() = default;

	image_id _NextId();

	mutable std::mutex fLock;
	std::unordered_map<image_id, std::shared_ptr<void>> fImages;
	image_id fNextId = 1;
};

} // namespace MorvaneKit
