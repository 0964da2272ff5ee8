#include "ImageTable.h"

#include <dlfcn.h>

#include <new>

namespace MorvaneKit {

ImageTable& ImageTable::Default()
{
	// Never destroyed: closing add-ons while static objects go away at exit
	// would run their destructors against a half torn-down kit.
	static ImageTable* sTable = new ImageTable;
	return *sTable;
}

image_id ImageTable::Add(void* handle)
{
	std::shared_ptr<void> image;
	try {
		image = std::shared_ptr<void>(handle, [](void* loaded) { dlclose(loaded); });
	} catch (const std::bad_alloc&) {
		// shared_ptr has called the deleter already.
		return B_NO_MEMORY;
	}
	std::unique_lock lock(fLock);
	image_id id = _NextId();
	try {
		fImages.emplace(id, std::move(image));
	} catch (const std::bad_alloc&) {
		lock.unlock();
		image.reset();
		return B_NO_MEMORY;
	}
	return id;
}

std::shared_ptr<void> ImageTable::Find(image_id image) const
{
	std::lock_guard lock(fLock);
	auto found = fImages.find(image);
	if (found == fImages.end())
		return nullptr;
	return found->second;
}

bool ImageTable::Remove(image_id image)
{
	std::shared_ptr<void> removed;
	{
		std::lock_guard lock(fLock);
		auto found = fImages.find(image);
		if (found == fImages.end())
			return false;
		removed = std::move(found->second);
		fImages.erase(found);
	}
	// The image closes here, outside the lock, unless a lookup still uses it.
	return true;
}

image_id ImageTable::_NextId()
{
	while (true) {
		image_id id = fNextId;
		fNextId = fNextId == INT32_MAX ? 1 : fNextId + 1;
		if (fImages.find(id) == fImages.end())
			return id;
	}
}

} // namespace MorvaneKit
