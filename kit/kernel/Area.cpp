// Areas: create_area, clone_area, delete_area, find_area, get_area_info.

#include <kernel/OS.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "AreaPlatform.h"
#include "AreaTable.h"

using MorvaneKit::AreaMapping;
using MorvaneKit::AreaTable;

namespace {

// Ids are drawn from two thousand million, so running into this many taken
// ones in a row means something is wrong rather than unlucky.
constexpr int kMostIdAttempts = 64;

bool IsValidLock(uint32 lock)
{
	return lock == B_NO_LOCK || lock == B_LAZY_LOCK || lock == B_FULL_LOCK;
}

bool IsValidProtection(uint32 protection)
{
	return (protection & ~uint32(B_READ_AREA | B_WRITE_AREA)) == 0;
}

// The address an area must be mapped at, or null for anywhere.
status_t PlacementAddress(void* address, uint32 addressSpec, void** exactAddress)
{
	switch (addressSpec) {
		case B_ANY_ADDRESS:
			*exactAddress = nullptr;
			return B_OK;
		case B_EXACT_ADDRESS:
			if (address == nullptr || !MorvaneKit::IsPageAligned(address))
				return B_BAD_VALUE;
			*exactAddress = address;
			return B_OK;
		default:
			return B_BAD_VALUE;
	}
}

// Copies a name cut to what an area keeps, without splitting a UTF-8
// sequence.
void CopyName(char (&target)[B_OS_NAME_LENGTH], const char* name)
{
	size_t length = strnlen(name, B_OS_NAME_LENGTH);
	if (length == B_OS_NAME_LENGTH) {
		length = B_OS_NAME_LENGTH - 1;
		// Back up over continuation bytes to the start of the cut sequence.
		while (length > 0 && (uint8(name[length]) & 0xc0) == 0x80)
			length--;
	}
	memcpy(target, name, length);
	target[length] = '\0';
}

size_t RoundUpToPages(size_t size)
{
	return (size + B_PAGE_SIZE - 1) / B_PAGE_SIZE * B_PAGE_SIZE;
}

// The areas of a team end with it. A process cannot remove its objects when
// it is killed, but it does when it exits: other processes can no longer
// clone its areas then, and the memory goes once their clones are deleted.
void RemoveCreatedObjects()
{
	for (area_id object : AreaTable::Default().CreatedObjects())
		MorvaneKit::RemoveAreaObject(object);
}

void RemoveObjectsAtExit()
{
	static std::once_flag sRegistered;
	std::call_once(sRegistered, [] { atexit(RemoveCreatedObjects); });
}

// Creates the object of a new area under an id that no area of this process
// and no object of the user has, and reserves the id in the table.
status_t CreateUniqueObject(size_t size, area_id* id, int* fd)
{
	AreaTable& table = AreaTable::Default();
	for (int attempt = 0; attempt < kMostIdAttempts; attempt++) {
		area_id candidate = MorvaneKit::RandomAreaId();
		status_t status = table.Reserve(candidate);
		if (status == B_NAME_IN_USE)
			continue;
		if (status != B_OK)
			return status;
		status = MorvaneKit::CreateAreaObject(candidate, size, fd);
		if (status == B_OK) {
			*id = candidate;
			return B_OK;
		}
		table.Release(candidate);
		if (status != B_FILE_EXISTS)
			return status;
	}
	return B_NO_MEMORY;
}

// Reserves an id for a clone, which names it in this process only.
status_t ReserveCloneId(area_id* id)
{
	for (int attempt = 0; attempt < kMostIdAttempts; attempt++) {
		area_id candidate = MorvaneKit::RandomAreaId();
		status_t status = AreaTable::Default().Reserve(candidate);
		if (status == B_NAME_IN_USE)
			continue;
		if (status == B_OK)
			*id = candidate;
		return status;
	}
	return B_NO_MEMORY;
}

// The object behind an area id: a clone of this process stands for its
// source, any other id for itself.
area_id ObjectOf(area_id area)
{
	std::optional<AreaMapping> mapping = AreaTable::Default().Find(area);
	return mapping ? mapping->object : area;
}

// Maps an open object under a reserved id and records the mapping; gives
// the id up when mapping fails.
status_t MapReserved(area_id id, int fd, void* exactAddress, AreaMapping& mapping)
{
	status_t status = MorvaneKit::MapAreaObject(fd, mapping.size, mapping.protection,
		exactAddress, &mapping.address);
	if (status != B_OK) {
		AreaTable::Default().Release(id);
		return status;
	}
	AreaTable::Default().Fill(id, mapping);
	return B_OK;
}

} // namespace

area_id create_area(const char* name, void** startAddress, uint32 addressSpec, size_t size,
	uint32 lock, uint32 protection)
{
	if (name == nullptr || startAddress == nullptr || size == 0 || !IsValidLock(lock)
			|| !IsValidProtection(protection))
		return B_BAD_VALUE;
	void* exactAddress = nullptr;
	if (PlacementAddress(*startAddress, addressSpec, &exactAddress) != B_OK)
		return B_BAD_VALUE;
	if (size > MorvaneKit::kLargestArea)
		return B_NO_MEMORY;

	AreaMapping mapping;
	CopyName(mapping.name, name);
	mapping.size = RoundUpToPages(size);
	mapping.lock = lock;
	mapping.protection = protection;
	mapping.creator = getpid();

	int fd = -1;
	status_t status = CreateUniqueObject(mapping.size, &mapping.object, &fd);
	if (status != B_OK)
		return status;
	// Registered before the area is in the table, so that it cannot be left
	// out at exit.
	RemoveObjectsAtExit();
	area_id id = mapping.object;
	status = MapReserved(id, fd, exactAddress, mapping);
	close(fd);
	if (status != B_OK) {
		MorvaneKit::RemoveAreaObject(id);
		return status;
	}
	*startAddress = mapping.address;
	return id;
}

area_id clone_area(const char* name, void** destAddress, uint32 addressSpec,
	uint32 protection, area_id source)
{
	if (name == nullptr || destAddress == nullptr || source <= 0
			|| !IsValidProtection(protection))
		return B_BAD_VALUE;
	void* exactAddress = nullptr;
	if (PlacementAddress(*destAddress, addressSpec, &exactAddress) != B_OK)
		return B_BAD_VALUE;

	AreaMapping mapping;
	CopyName(mapping.name, name);
	mapping.object = ObjectOf(source);
	mapping.protection = protection;

	int fd = -1;
	status_t status = MorvaneKit::OpenAreaObject(mapping.object,
		(protection & B_WRITE_AREA) != 0, &fd, &mapping.size);
	if (status != B_OK)
		return status;
	area_id id = -1;
	status = ReserveCloneId(&id);
	if (status == B_OK)
		status = MapReserved(id, fd, exactAddress, mapping);
	close(fd);
	if (status != B_OK)
		return status;
	*destAddress = mapping.address;
	return id;
}

status_t delete_area(area_id area)
{
	if (area <= 0)
		return B_BAD_VALUE;
	std::optional<AreaMapping> mapping = AreaTable::Default().Remove(area);
	if (!mapping)
		return B_ENTRY_NOT_FOUND;
	MorvaneKit::UnmapAreaObject(mapping->address, mapping->size);
	if (mapping->creator == getpid())
		MorvaneKit::RemoveAreaObject(mapping->object);
	return B_OK;
}

area_id find_area(const char* name)
{
	if (name == nullptr)
		return B_BAD_VALUE;
	char wanted[B_OS_NAME_LENGTH];
	CopyName(wanted, name);
	return AreaTable::Default().FindByName(wanted);
}

status_t get_area_info(area_id area, area_info* info)
{
	if (area <= 0 || info == nullptr)
		return B_BAD_VALUE;
	std::optional<AreaMapping> mapping = AreaTable::Default().Find(area);
	if (!mapping)
		return B_ENTRY_NOT_FOUND;
	info->area = area;
	memcpy(info->name, mapping->name, sizeof(info->name));
	info->size = mapping->size;
	info->lock = mapping->lock;
	info->protection = mapping->protection;
	info->team = current_team();
	info->address = mapping->address;
	return B_OK;
}
