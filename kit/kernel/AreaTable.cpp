#include "AreaTable.h"

#include <unistd.h>

#include <cstring>
#include <new>

namespace MorvaneKit {

AreaTable& AreaTable::Default()
{
	// Never destroyed: areas are still in use while static objects go away
	// at exit.
	static AreaTable* sTable = new AreaTable;
	return *sTable;
}

status_t AreaTable::Reserve(area_id id)
{
	std::lock_guard lock(fLock);
	try {
		return fAreas.try_emplace(id).second ? B_OK : B_NAME_IN_USE;
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
}

void AreaTable::Fill(area_id id, const AreaMapping& mapping)
{
	std::lock_guard lock(fLock);
	auto found = fAreas.find(id);
	if (found != fAreas.end())
		found->second = mapping;
}

void AreaTable::Release(area_id id)
{
	std::lock_guard lock(fLock);
	auto found = fAreas.find(id);
	if (found != fAreas.end() && !found->second)
		fAreas.erase(found);
}

std::optional<AreaMapping> AreaTable::Remove(area_id id)
{
	std::lock_guard lock(fLock);
	auto found = fAreas.find(id);
	if (found == fAreas.end() || !found->second)
		return std::nullopt;
	std::optional<AreaMapping> mapping = found->second;
	fAreas.erase(found);
	return mapping;
}

std::optional<AreaMapping> AreaTable::Find(area_id id) const
{
	std::lock_guard lock(fLock);
	auto found = fAreas.find(id);
	if (found == fAreas.end())
		return std::nullopt;
	return found->second;
}

area_id AreaTable::FindByName(const char* name) const
{
	std::lock_guard lock(fLock);
	for (const auto& [id, mapping] : fAreas) {
		if (mapping && strcmp(mapping->name, name) == 0)
			return id;
	}
	return B_NAME_NOT_FOUND;
}

std::vector<area_id> AreaTable::CreatedObjects() const
{
	pid_t self = getpid();
	std::vector<area_id> objects;
	std::lock_guard lock(fLock);
	try {
		for (const auto& [id, mapping] : fAreas) {
			if (mapping && mapping->creator == self)
				objects.push_back(mapping->object);
		}
	} catch (const std::bad_alloc&) {
		// The objects found so far are better than none.
	}
	return objects;
}

} // namespace MorvaneKit
