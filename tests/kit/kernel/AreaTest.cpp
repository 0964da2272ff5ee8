// Areas: shared memory that processes of the same user map by area id.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include <kernel/OS.h>

#include "KernelTestSupport.h"
#include "kernel/AreaPlatform.h"

extern char** environ;

using MorvaneKit::AreaObjectName;

namespace {

constexpr uint32 kReadWrite = B_READ_AREA | B_WRITE_AREA;
// Set in the copy of the test program that plays the other process.
constexpr const char* kExchangeVariable = "MORVANE_AREA_TEST_EXCHANGE";
constexpr const char* kSharedMemoryFolder = "/dev/shm";

bool ObjectExists(area_id id)
{
	int fd = shm_open(AreaObjectName(id).c_str(), O_RDONLY | O_NONBLOCK, 0);
	if (fd >= 0)
		close(fd);
	return fd >= 0;
}

// An id that names no area here and no object of the user.
area_id UnusedAreaId()
{
	area_info info;
	area_id id;
	do
		id = MorvaneKit::RandomAreaId();
	while (ObjectExists(id) || get_area_info(id, &info) != B_ENTRY_NOT_FOUND);
	return id;
}

void FillPattern(void* memory, size_t size, uint8 seed)
{
	for (size_t i = 0; i < size; i++)
		static_cast<uint8*>(memory)[i] = uint8(i * 7 + seed);
}

bool HasPattern(const void* memory, size_t size, uint8 seed)
{
	for (size_t i = 0; i < size; i++) {
		if (static_cast<const uint8*>(memory)[i] != uint8(i * 7 + seed))
			return false;
	}
	return true;
}

// The permissions /proc shows for the mapping at an address, such as "r--s".
std::string MappingPermissions(const void* address)
{
	std::ifstream maps("/proc/self/maps");
	uintptr_t wanted = reinterpret_cast<uintptr_t>(address);
	unsigned long start, end;
	char permissions[5];
	for (std::string line; std::getline(maps, line);) {
		if (sscanf(line.c_str(), "%lx-%lx %4s", &start, &end, permissions) == 3
				&& wanted >= start && wanted < end)
			return permissions;
	}
	return "";
}

// The first page of the area the two processes share.
struct Exchange {
	enum : int32 { kAsked, kAnswered, kDone };
	std::atomic<int32> state{kAsked};
	area_id childArea = 0;
	pid_t child = 0;
	bool sawPattern = false;
};
static_assert(std::atomic<int32>::is_always_lock_free);

// Starts this test program again to run one test with an extra variable,
// leaving out the runner's sharding and output settings.
pid_t SpawnSelf(const std::string& testName, std::string variable)
{
	std::string filter = "--gtest_filter=" + testName;
	char* arguments[] = {const_cast<char*>("/proc/self/exe"), filter.data(), nullptr};
	std::vector<char*> environment;
	for (char** entry = environ; *entry != nullptr; entry++) {
		if (strncmp(*entry, "GTEST_", 6) != 0)
			environment.push_back(*entry);
	}
	environment.push_back(variable.data());
	environment.push_back(nullptr);
	pid_t child = -1;
	if (posix_spawn(&child, arguments[0], nullptr, nullptr, arguments, environment.data()) != 0)
		return -1;
	return child;
}

// Kills and reaps a child unless it has been reaped.
struct ChildReaper {
	pid_t child;
	~ChildReaper()
	{
		if (child > 0 && kill(child, SIGKILL) == 0)
			waitpid(child, nullptr, 0);
	}
};

} // namespace

class AreaTest : public testing::Test {
protected:
	void TearDown() override
	{
		for (area_id object : fObjects)
			shm_unlink(AreaObjectName(object).c_str());
	}

	// Remembers an area's object for removal after the test, whatever happens.
	area_id Track(area_id object)
	{
		if (object > 0)
			fObjects.push_back(object);
		return object;
	}

	area_id Create(const char* name, size_t size, void** address, uint32 protection = kReadWrite)
	{
		*address = nullptr;
		return Track(create_area(name, address, B_ANY_ADDRESS, size, B_FULL_LOCK, protection));
	}

	std::vector<area_id> fObjects;
};

// An area and its clones in one process share their memory. A clone's
// delete only unmaps it; once the creator deletes the area its id cannot
// be cloned, while clones made before keep the memory. Long names are cut
// to 31 bytes at a character boundary, by find_area() too.
TEST_F(AreaTest, CreateCloneAndDeleteInOneProcess)
{
	void* address = nullptr;
	area_id area = Create((std::string(31, 'a') + "z").c_str(), 10000, &address);
	ASSERT_GT(area, 0);
	area_info info;
	ASSERT_EQ(get_area_info(area, &info), B_OK);
	EXPECT_EQ(info.name, std::string(31, 'a'));
	EXPECT_EQ(info.size, 3 * B_PAGE_SIZE);
	EXPECT_EQ(info.address, address);
	FillPattern(address, info.size, 1);

	std::string accented = std::string(30, 'b') + "\xc3\xa9";
	void* cloneAddress = nullptr;
	area_id clone = clone_area(accented.c_str(), &cloneAddress, B_ANY_ADDRESS, kReadWrite, area);
	ASSERT_GT(clone, 0);
	EXPECT_NE(clone, area);
	EXPECT_TRUE(HasPattern(cloneAddress, info.size, 1));
	static_cast<uint8*>(cloneAddress)[5000] = 0xee;
	EXPECT_EQ(static_cast<uint8*>(address)[5000], 0xee);
	EXPECT_EQ(find_area(accented.c_str()), clone);
	ASSERT_EQ(get_area_info(clone, &info), B_OK);
	EXPECT_EQ(info.name, std::string(30, 'b'));

	// A clone's id stands for the memory it maps.
	void* secondAddress = nullptr;
	area_id second = clone_area("second", &secondAddress, B_ANY_ADDRESS, B_READ_AREA, clone);
	ASSERT_GT(second, 0);
	EXPECT_EQ(static_cast<uint8*>(secondAddress)[5000], 0xee);
	EXPECT_EQ(delete_area(second), B_OK);
	EXPECT_EQ(get_area_info(second, &info), B_ENTRY_NOT_FOUND);
	EXPECT_TRUE(ObjectExists(area));

	EXPECT_EQ(delete_area(area), B_OK);
	EXPECT_FALSE(ObjectExists(area));
	EXPECT_EQ(clone_area("late", &secondAddress, B_ANY_ADDRESS, B_READ_AREA, area),
		B_ENTRY_NOT_FOUND);
	EXPECT_EQ(static_cast<uint8*>(cloneAddress)[5000], 0xee);
	EXPECT_EQ(delete_area(clone), B_OK);
	EXPECT_EQ(delete_area(clone), B_ENTRY_NOT_FOUND);
}

// A clone gets the protection it asks for, whatever the creator's.
TEST_F(AreaTest, ReadOnlyCloneCannotWrite)
{
	void* address = nullptr;
	area_id area = Create("writable", B_PAGE_SIZE, &address);
	ASSERT_GT(area, 0);
	EXPECT_EQ(MappingPermissions(address), "rw-s");
	void* cloneAddress = nullptr;
	area_id clone = clone_area("reader", &cloneAddress, B_ANY_ADDRESS, B_READ_AREA, area);
	ASSERT_GT(clone, 0);
	area_info info;
	ASSERT_EQ(get_area_info(clone, &info), B_OK);
	EXPECT_EQ(info.protection, uint32(B_READ_AREA));
	EXPECT_EQ(MappingPermissions(cloneAddress), "r--s");
	FillPattern(address, B_PAGE_SIZE, 4);
	EXPECT_TRUE(HasPattern(cloneAddress, B_PAGE_SIZE, 4));
	EXPECT_EQ(delete_area(clone), B_OK);
	EXPECT_EQ(delete_area(area), B_OK);
}

// Another process clones an area by its id alone and answers through it;
// its own area can be cloned while it runs and goes when it exits.
TEST_F(AreaTest, AnotherProcessClonesById)
{
	if (const char* exchangeArea = getenv(kExchangeVariable)) {
		void* address = nullptr;
		area_id clone = clone_area("exchange", &address, B_ANY_ADDRESS, kReadWrite,
			area_id(atoi(exchangeArea)));
		ASSERT_GT(clone, 0);
		auto* exchange = static_cast<Exchange*>(address);
		void* ownAddress = nullptr;
		exchange->childArea = create_area("child's", &ownAddress, B_ANY_ADDRESS, B_PAGE_SIZE,
			B_NO_LOCK, kReadWrite);
		ASSERT_GT(exchange->childArea, 0);
		FillPattern(ownAddress, B_PAGE_SIZE, 9);
		exchange->sawPattern = HasPattern(exchange + 1, B_PAGE_SIZE, 5);
		exchange->child = getpid();
		exchange->state = Exchange::kAnswered;
		// The child's own area is left for its exit to remove.
		ASSERT_TRUE(WaitFor([&] { return exchange->state == Exchange::kDone; }));
		EXPECT_EQ(delete_area(clone), B_OK);
		return;
	}
	void* address = nullptr;
	area_id area = Create("exchange", 2 * B_PAGE_SIZE, &address);
	ASSERT_GT(area, 0);
	auto* exchange = new (address) Exchange;
	FillPattern(exchange + 1, B_PAGE_SIZE, 5);

	const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
	ChildReaper reaper{SpawnSelf(std::string(test->test_suite_name()) + "." + test->name(),
		std::string(kExchangeVariable) + "=" + std::to_string(area))};
	ASSERT_GT(reaper.child, 0);
	int status = 0;
	auto childEnded = [&] {
		if (reaper.child > 0 && waitpid(reaper.child, &status, WNOHANG) == reaper.child)
			reaper.child = -1;
		return reaper.child <= 0;
	};
	ASSERT_TRUE(WaitFor([&] { return exchange->state != Exchange::kAsked || childEnded(); }));
	ASSERT_EQ(exchange->state.load(), Exchange::kAnswered);
	EXPECT_EQ(exchange->child, reaper.child);
	EXPECT_TRUE(exchange->sawPattern);
	area_id childArea = Track(exchange->childArea);
	void* childAddress = nullptr;
	area_id clone = clone_area("child's", &childAddress, B_ANY_ADDRESS, B_READ_AREA, childArea);
	ASSERT_GT(clone, 0);

	exchange->state = Exchange::kDone;
	ASSERT_TRUE(WaitFor(childEnded));
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
	EXPECT_FALSE(ObjectExists(childArea));
	EXPECT_TRUE(HasPattern(childAddress, B_PAGE_SIZE, 9));
	EXPECT_EQ(delete_area(clone), B_OK);
	EXPECT_TRUE(ObjectExists(area));
	EXPECT_EQ(delete_area(area), B_OK);
}

// A forked child inherits its parent's areas, but deleting them or exiting
// leaves the parent's objects in place.
TEST_F(AreaTest, ForkedChildLeavesItsParentsAreasAlone)
{
	void* address = nullptr;
	area_id area = Create("parent's", B_PAGE_SIZE, &address);
	ASSERT_GT(area, 0);
	fflush(nullptr);
	pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0) {
		static_cast<uint8*>(address)[0] = 42;
		exit(delete_area(area) == B_OK ? 0 : 1);
	}
	int status = 0;
	ASSERT_EQ(waitpid(child, &status, 0), child);
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
	EXPECT_TRUE(ObjectExists(area));
	EXPECT_EQ(static_cast<uint8*>(address)[0], 42);
	EXPECT_EQ(delete_area(area), B_OK);
}

// Whatever else lies under an area's name is refused without blocking or
// crashing: odd sizes, FIFOs, links, other users' objects.
TEST_F(AreaTest, ObjectsThatAreNoAreasAreRefused)
{
	area_id id = Track(UnusedAreaId());
	int fd = shm_open(AreaObjectName(id).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
	ASSERT_GE(fd, 0);
	void* address = nullptr;
	auto cloneOf = [&](area_id source) {
		return clone_area("probe", &address, B_ANY_ADDRESS, B_READ_AREA, source);
	};
	EXPECT_EQ(cloneOf(id), B_BAD_VALUE);
	ASSERT_EQ(ftruncate(fd, 100), 0);
	EXPECT_EQ(cloneOf(id), B_BAD_VALUE);
	ASSERT_EQ(ftruncate(fd, 2 * B_PAGE_SIZE), 0);
	area_id clone = cloneOf(id);
	ASSERT_GT(clone, 0);
	EXPECT_EQ(delete_area(clone), B_OK);
	if (geteuid() == 0) {
		ASSERT_EQ(fchown(fd, 65534, 65534), 0);
		EXPECT_EQ(cloneOf(id), B_PERMISSION_DENIED);
	}
	close(fd);

	std::string folder = kSharedMemoryFolder;
	area_id fifo = Track(UnusedAreaId());
	ASSERT_EQ(mkfifo((folder + AreaObjectName(fifo)).c_str(), 0600), 0);
	EXPECT_EQ(cloneOf(fifo), B_BAD_VALUE);
	area_id link = Track(UnusedAreaId());
	ASSERT_EQ(symlink((folder + AreaObjectName(id)).c_str(),
		(folder + AreaObjectName(link)).c_str()), 0);
	EXPECT_EQ(cloneOf(link), B_BAD_VALUE);
}

// Arguments, ids and addresses the functions cannot use.
TEST_F(AreaTest, InvalidArgumentsAndUnknownIds)
{
	void* address = nullptr;
	EXPECT_EQ(create_area(nullptr, &address, B_ANY_ADDRESS, 1, B_NO_LOCK, 0), B_BAD_VALUE);
	EXPECT_EQ(create_area("x", &address, B_ANY_ADDRESS, 0, B_NO_LOCK, 0), B_BAD_VALUE);
	EXPECT_EQ(create_area("x", &address, 7, 1, B_NO_LOCK, 0), B_BAD_VALUE);
	EXPECT_EQ(create_area("x", &address, B_ANY_ADDRESS, 1, B_NO_LOCK, 0x4), B_BAD_VALUE);
	EXPECT_EQ(create_area("x", &address, B_ANY_ADDRESS, SIZE_MAX, B_NO_LOCK, 0), B_NO_MEMORY);

	area_info info;
	for (area_id id : {area_id(0), area_id(-1), B_NO_MEMORY}) {
		EXPECT_EQ(clone_area("x", &address, B_ANY_ADDRESS, B_READ_AREA, id), B_BAD_VALUE);
		EXPECT_EQ(delete_area(id), B_BAD_VALUE);
		EXPECT_EQ(get_area_info(id, &info), B_BAD_VALUE);
	}
	area_id unknown = UnusedAreaId();
	EXPECT_EQ(clone_area("x", &address, B_ANY_ADDRESS, B_READ_AREA, unknown), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(delete_area(unknown), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(get_area_info(unknown, &info), B_ENTRY_NOT_FOUND);

	// Exact addresses: a free one is taken, one in use is left alone.
	void* free = mmap(nullptr, B_PAGE_SIZE, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
	ASSERT_EQ(munmap(free, B_PAGE_SIZE), 0);
	address = free;
	area_id area = Track(create_area("exact", &address, B_EXACT_ADDRESS, 1, B_NO_LOCK, kReadWrite));
	ASSERT_GT(area, 0);
	EXPECT_EQ(address, free);
	static_cast<uint8*>(free)[0] = 17;
	EXPECT_EQ(clone_area("over", &address, B_EXACT_ADDRESS, B_READ_AREA, area), B_NO_MEMORY);
	EXPECT_EQ(static_cast<uint8*>(free)[0], 17);
	address = static_cast<uint8*>(free) + 1;
	EXPECT_EQ(create_area("odd", &address, B_EXACT_ADDRESS, 1, B_NO_LOCK, 0), B_BAD_VALUE);
	EXPECT_EQ(delete_area(area), B_OK);
}

// An area the shared memory folder has no room for fails to be created
// instead of crashing the process when its pages are first touched.
TEST_F(AreaTest, AreaBeyondTheFreeSharedMemoryFails)
{
	struct statvfs folder;
	ASSERT_EQ(statvfs(kSharedMemoryFolder, &folder), 0);
	uint64 capacity = uint64(folder.f_blocks) * folder.f_frsize;
	if (capacity == 0 || capacity + B_PAGE_SIZE > MorvaneKit::kLargestArea)
		GTEST_SKIP() << "the shared memory folder has no limit below the largest area";
	void* address = nullptr;
	EXPECT_EQ(Create("too large", size_t(capacity) + B_PAGE_SIZE, &address), B_NO_MEMORY);
}
