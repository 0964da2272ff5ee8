// The folder of the running program, as the server finds its own.

#include <gtest/gtest.h>

#include <climits>
#include <unistd.h>

#include <storage/VolumeTable.h>

#include "ProgramFolder.h"
#include "TestFolder.h"

namespace {

std::string NativeProgramFolder()
{
	char program[PATH_MAX];
	ssize_t length = readlink("/proc/self/exe", program, sizeof(program) - 1);
	if (length <= 0)
		return "";
	std::string path(program, size_t(length));
	return path.substr(0, path.rfind('/'));
}

// The folder is given in the system's form, through the volume holding it;
// a program on no volume has none.
TEST(ProgramFolderTest, FolderOfTheProgramOnItsVolume)
{
	TestFolder other;
	std::string native = NativeProgramFolder();
	ASSERT_FALSE(native.empty());
	std::string folder;
	{
		ScopedEnv volumes("MORVANE_VOLUMES", "Other=" + other.Path() + ";Programs=" + native);
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		ASSERT_EQ(GetProgramFolder(&folder), B_OK);
		EXPECT_EQ(folder, "/Programs");
	}
	{
		ScopedEnv volumes("MORVANE_VOLUMES", "Other=" + other.Path());
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		EXPECT_EQ(GetProgramFolder(&folder), B_ENTRY_NOT_FOUND);
	}
	EXPECT_EQ(GetProgramFolder(nullptr), B_BAD_VALUE);
	(void)VolumeTable::Reload();
}

}	// namespace
