// The instance lock that lets one server of a user run, and the runtime
// folder it lies in.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "MVInstanceLock.h"
#include "TestFolder.h"

namespace {

// One claim at a time: a second one is refused while the first holds, and
// succeeds once it is given up.
TEST(InstanceLockTest, OneClaimAtATime)
{
	TestFolder folder;
	MVInstanceLock first;
	MVInstanceLock second;
	ASSERT_EQ(first.Acquire(folder.Path().c_str()), B_OK);
	EXPECT_TRUE(first.IsHeld());
	EXPECT_EQ(second.Acquire(folder.Path().c_str()), B_BUSY);
	EXPECT_FALSE(second.IsHeld());

	EXPECT_EQ(MVInstanceLock::HolderOf(folder.Path().c_str()), getpid());

	first.Release();
	EXPECT_EQ(second.Acquire(folder.Path().c_str()), B_OK);

	// A holder that cannot be named reads as 0.
	TestFolder other;
	EXPECT_EQ(MVInstanceLock::HolderOf(other.Path().c_str()), 0);
	for (const char* text : {"", "x12\n", "-5\n", "12 13", "99999999999999999999"}) {
		other.WriteFile(MVInstanceLock::kFileName, text);
		EXPECT_EQ(MVInstanceLock::HolderOf(other.Path().c_str()), 0) << text;
	}
}

// The lock lies in the runtime folder, which is made private when missing
// and refused when others may enter it.
TEST(InstanceLockTest, RuntimeFolderMustBePrivate)
{
	TestFolder folder;
	std::string missing = folder / "runtime";
	{
		ScopedEnv runtime("MORVANE_RUNTIME_DIR", missing);
		std::string found;
		ASSERT_EQ(MVInstanceLock::GetRuntimeFolder(&found), B_OK);
		EXPECT_EQ(found, missing);
		struct stat status;
		ASSERT_EQ(stat(missing.c_str(), &status), 0);
		EXPECT_EQ(status.st_mode & 0777, mode_t(0700));
		MVInstanceLock lock;
		EXPECT_EQ(lock.Acquire(), B_OK);
		EXPECT_EQ(access((missing + "/" + MVInstanceLock::kFileName).c_str(), F_OK), 0);
	}

	std::string open = folder.MakeFolder("open");
	ASSERT_EQ(chmod(open.c_str(), 0755), 0);
	ScopedEnv runtime("MORVANE_RUNTIME_DIR", open);
	std::string found;
	EXPECT_EQ(MVInstanceLock::GetRuntimeFolder(&found), B_NOT_ALLOWED);
	MVInstanceLock lock;
	EXPECT_EQ(lock.Acquire(), B_NOT_ALLOWED);

	ScopedEnv relative("MORVANE_RUNTIME_DIR", "relative/folder");
	EXPECT_EQ(MVInstanceLock::GetRuntimeFolder(&found), B_BAD_VALUE);
}

}	// namespace
