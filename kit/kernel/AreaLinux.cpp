#include "AreaPlatform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace MorvaneKit {

namespace {

// What the system answers when the memory for an area is missing, whether
// the shared memory folder is full or the process is out of memory.
status_t MemoryStatus(int error)
{
	switch (error) {
		case ENOSPC:
		case ENOMEM:
		case EFBIG:
		case EDQUOT:
			return B_NO_MEMORY;
		default:
			return B_FROM_ERRNO(error);
	}
}

// Gives the object its size with every page allocated. An object whose
// pages are only promised makes the process crash (SIGBUS) on the first
// touch of a page the folder has no room for; this way creating the area
// fails instead.
status_t ReserveMemory(int fd, size_t size)
{
	int error;
	do
		error = posix_fallocate(fd, 0, off_t(size));
	while (error == EINTR);
	return error == 0 ? B_OK : MemoryStatus(error);
}

// What opening an area's object failed with. Names that lead to something
// other than an object (a symbolic link, a folder, a socket) are no area.
status_t OpenStatus(int error)
{
	switch (error) {
		case ENOENT:
			return B_ENTRY_NOT_FOUND;
		case ELOOP:
		case EISDIR:
		case ENXIO:
			return B_BAD_VALUE;
		default:
			return B_FROM_ERRNO(error);
	}
}

// Whether an object found under an area's name can be mapped as one: the
// kit only makes plain objects of whole pages.
status_t CheckAreaObject(const struct stat& status)
{
	if (status.st_uid != geteuid())
		return B_PERMISSION_DENIED;
	if (!S_ISREG(status.st_mode))
		return B_BAD_VALUE;
	if (status.st_size <= 0 || uint64(status.st_size) > uint64(kLargestArea)
			|| status.st_size % off_t(B_PAGE_SIZE) != 0)
		return B_BAD_VALUE;
	return B_OK;
}

// Used when the system has no random numbers to give: the ids then only
// need to differ, which the process id and the clock see to.
uint32 FallbackRandom()
{
	static std::atomic<uint64> sCounter{0};
	uint64 mixed = uint64(system_time()) ^ (uint64(getpid()) << 32)
		^ (sCounter.fetch_add(1) * 0x9e3779b97f4a7c15ULL);
	mixed ^= mixed >> 31;
	mixed *= 0xbf58476d1ce4e5b9ULL;
	mixed ^= mixed >> 27;
	return uint32(mixed);
}

} // namespace

std::string AreaObjectName(area_id id)
{
	return "/morvane-area-" + std::to_string(geteuid()) + "-" + std::to_string(id);
}

area_id RandomAreaId()
{
	uint32 value;
	if (getrandom(&value, sizeof(value), GRND_NONBLOCK) != ssize_t(sizeof(value)))
		value = FallbackRandom();
	return area_id(value % uint32(INT32_MAX)) + 1;
}

status_t CreateAreaObject(area_id id, size_t size, int* fd)
{
	std::string name = AreaObjectName(id);
	int object = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
	if (object < 0)
		return errno == ENOSPC || errno == ENOMEM ? B_NO_MEMORY : StatusFromErrno();
	status_t status = ReserveMemory(object, size);
	if (status != B_OK) {
		close(object);
		shm_unlink(name.c_str());
		return status;
	}
	*fd = object;
	return B_OK;
}

status_t OpenAreaObject(area_id id, bool writable, int* fd, size_t* size)
{
	// Without O_NONBLOCK a FIFO put under the name would block the open.
	int flags = (writable ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
	int object = shm_open(AreaObjectName(id).c_str(), flags, 0);
	if (object < 0)
		return OpenStatus(errno);
	struct stat status;
	status_t result = fstat(object, &status) == 0 ? CheckAreaObject(status) : StatusFromErrno();
	if (result != B_OK) {
		close(object);
		return result;
	}
	*fd = object;
	*size = size_t(status.st_size);
	return B_OK;
}

void RemoveAreaObject(area_id id)
{
	shm_unlink(AreaObjectName(id).c_str());
}

status_t MapAreaObject(int fd, size_t size, uint32 protection, void* exactAddress,
	void** address)
{
	int memoryProtection = ((protection & B_READ_AREA) != 0 ? PROT_READ : 0)
		| ((protection & B_WRITE_AREA) != 0 ? PROT_WRITE : 0);
	// MAP_FIXED_NOREPLACE fails where something is mapped already, instead
	// of replacing it as MAP_FIXED would.
	int flags = MAP_SHARED | (exactAddress != nullptr ? MAP_FIXED_NOREPLACE : 0);
	void* mapped = mmap(exactAddress, size, memoryProtection, flags, fd, 0);
	if (mapped == MAP_FAILED)
		return errno == EEXIST ? B_NO_MEMORY : MemoryStatus(errno);
	// Kernels older than the flag take the address as a mere hint.
	if (exactAddress != nullptr && mapped != exactAddress) {
		munmap(mapped, size);
		return B_NO_MEMORY;
	}
	*address = mapped;
	return B_OK;
}

void UnmapAreaObject(void* address, size_t size)
{
	munmap(address, size);
}

bool IsPageAligned(const void* address)
{
	static const uintptr_t sPageSize = uintptr_t(sysconf(_SC_PAGESIZE));
	return reinterpret_cast<uintptr_t>(address) % sPageSize == 0;
}

} // namespace MorvaneKit
