#include "MVRosterClientLink.h"

#include <cstdio>
#include <cstring>
#include <string>

// The state letter of /proc/<pid>/stat follows the command name in
// parentheses, which may itself hold parentheses and spaces: it is the
// first field after the last ')'. 'T' is stopped by a signal, 't' stopped
// by a tracer.
bool MVRosterClientLink::IsStopped(team_id team) const
{
	if (team <= 0)
		return false;
	std::string path = "/proc/" + std::to_string(team) + "/stat";
	FILE* file = fopen(path.c_str(), "re");
	if (file == nullptr)
		return false;
	char buffer[1024];
	size_t length = fread(buffer, 1, sizeof(buffer) - 1, file);
	fclose(file);
	buffer[length] = '\0';
	const char* end = strrchr(buffer, ')');
	if (end == nullptr || end[1] != ' ')
		return false;
	return end[2] == 'T' || end[2] == 't';
}
