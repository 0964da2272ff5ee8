#pragma once

// The areas mapped into this process, by area id.
//
// Thread-safe. An id is reserved first and filled in once its memory is
// mapped, so that the system calls in between run without the lock while
// no other thread can take the same id; lookups do not see reserved ids.
// The table only keeps records: mapping, unmapping and removing objects is
// the caller's. The table is never destroyed.

#include <sys/types.h>

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include <kernel/OS.h>

namespace MorvaneKit {

struct AreaMapping {
	char name[B_OS_NAME_LENGTH] = {};
	// The id of the shared memory object behind the mapping: the area's own
	// id when this process created it, the source's id for a clone.
	area_id object = 0;
	void* address = nullptr;
	size_t size = 0;
	uint32 lock = B_NO_LOCK;
	uint32 protection = 0;
	// The process that created the object and removes it, or 0 for clones.
	// A forked child inherits the records, but the objects stay its parent's.
	pid_t creator = 0;
};

class AreaTable {
public:
	static AreaTable& Default();

	// Reserves an id no area of this process has: B_OK, B_NAME_IN_USE when
	// it is taken, B_NO_MEMORY.
	[[nodiscard]] status_t Reserve(area_id id);
	// Gives a reserved id its mapping.
	void Fill(area_id id, const AreaMapping& mapping);
	// Gives up a reserved id.
	void Release(area_id id);

	// The mapping of an area, which the table forgets; none for unknown and
	// reserved ids.
	std::optional<AreaMapping> Remove(area_id id);
	std::optional<AreaMapping> Find(area_id id) const;
	// The lowest id of an area with that name, or B_NAME_NOT_FOUND.
	area_id FindByName(const char* name) const;
	// The objects the calling process created that still exist.
	std::vector<area_id> CreatedObjects() const;

private:
	AreaTable() = default;

	mutable std::mutex fLock;
	// Reserved ids have no mapping yet.
	std::map<area_id, std::optional<AreaMapping>> fAreas;
};

} // namespace MorvaneKit
