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
	return length > 0 ? ToolForMagic(magic, size_t(length)) : 0;
}


uint32 ToolForMagic(const void* data, size_t size)
{
	if (data == nullptr || size < kMagicLength)
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
		if (memcmp(data, kind.magic, kMagicLength) == 0)
			return kind.command;
	}
	return 0;
}

}	// namespace JobSettingsFile
