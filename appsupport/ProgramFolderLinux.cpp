#include "ProgramFolder.h"

#include <climits>
#include <unistd.h>

#include <storage/VolumeTable.h>

status_t GetProgramFolder(std::string* folder)
{
	if (folder == nullptr)
		return B_BAD_VALUE;
	char program[PATH_MAX];
	ssize_t length = readlink("/proc/self/exe", program, sizeof(program) - 1);
	if (length <= 0)
		return StatusFromErrno();
	program[length] = '\0';
	std::string native(program);
	size_t slash = native.rfind('/');
	if (slash == std::string::npos)
		return B_BAD_VALUE;
	native.resize(slash == 0 ? 1 : slash);
	return VolumeTable::ToSystem(native.c_str(), folder);
}
