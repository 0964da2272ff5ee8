#include "JobSettingsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "GuiProtocol.h"

namespace JobSettingsFile {

uint32 ToolFor(const char* nativePath)
{
	if (nativePath == nullptr)
		return 0;
	int file = open(nativePath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
	if (file < 0)
		return 0;
	char magic[kMagicLength];
	ssize_t length = read(file, magic, sizeof(magic));
	close(file);
	if (length != ssize_t(sizeof(magic)))
		return 0;
	struct Kind {
		const char* magic;
		uint32 command;
	};
	const Kind kinds[] = {
		{kBackupMagic, kCmdBackupTool},
		{kRestoreMagic, kCmdRestoreTool},
		{kCompareMagic, kCmdCompareTool},
	};
	for (const Kind& kind : kinds) {
		if (memcmp(magic, kind.magic, kMagicLength) == 0)
			return kind.command;
	}
	return 0;
}

}	// namespace JobSettingsFile
