#pragma once

// What areas need from the operating system (AreaLinux.cpp).
//
// An area's memory is a POSIX shared memory object named after the user id
// and the area id, so that any process of the user finds it by the id alone.
// The objects live in a folder every user may write to: another user may
// have put anything under a name, so opening one checks what it found.
// All functions may be called from any thread.

#include <string>

#include <kernel/OS.h>

namespace MorvaneKit {

// The largest area: far beyond what a backup needs, small enough that a
// size read from an object cannot wrap the address arithmetic.
constexpr size_t kLargestArea = sizeof(size_t) >= 8 ? size_t(1) << 40 : size_t(1) << 30;

// The name of the shared memory object behind area id of the calling user.
std::string AreaObjectName(area_id id);

// A random positive area id, not checked against anything.
area_id RandomAreaId();

// Creates the object of area id with size bytes of reserved memory and gives
// its descriptor. B_FILE_EXISTS when the name is taken, B_NO_MEMORY when the
// memory cannot be reserved.
[[nodiscard]] status_t CreateAreaObject(area_id id, size_t size, int* fd);

// Opens the object of area id for reading, and for writing too when
// writable, and gives its descriptor and size. B_ENTRY_NOT_FOUND when there
// is none, B_PERMISSION_DENIED when it belongs to another user, B_BAD_VALUE
// when it is no area's object (not a plain object, or a size that is no
// whole number of pages up to kLargestArea).
[[nodiscard]] status_t OpenAreaObject(area_id id, bool writable, int* fd, size_t* size);

// Removes the name of area id's object; mappings of it stay valid.
void RemoveAreaObject(area_id id);

// Maps size bytes of an open object with the protection flags of the kit,
// at exactAddress unless it is null. B_NO_MEMORY when the address range or
// the memory is missing.
[[nodiscard]] status_t MapAreaObject(int fd, size_t size, uint32 protection,
	void* exactAddress, void** address);

// Unmaps what MapAreaObject() mapped.
void UnmapAreaObject(void* address, size_t size);

// Whether an address may be passed to MapAreaObject() as exactAddress.
bool IsPageAligned(const void* address);

} // namespace MorvaneKit
