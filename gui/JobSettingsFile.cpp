#include "JobSettingsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include <app/Message.h>
#include <storage/AtomicFileWriter.h>
#include <storage/File.h>

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



status_t Write(const char* path, const char* magic, const BMessage& settings)
{
	if (path == nullptr || magic == nullptr || strlen(magic) != kMagicLength)
		return B_BAD_VALUE;
	std::vector<char> body;
	status_t status = settings.Flatten(&body);
	if (status != B_OK)
		return status;
	std::vector<char> file(kHeaderSize, 0);
	memcpy(file.data(), magic, kMagicLength);
	file.insert(file.end(), body.begin(), body.end());
	return AtomicFileWriter::WriteFile(path, file.data(), file.size(), 0600);
}


status_t Read(const char* path, const char* magic, BMessage* settings)
{
	BFile file(path, B_READ_ONLY);
	off_t size = 0;
	if (file.InitCheck() != B_OK)
		return file.InitCheck();
	if (file.GetSize(&size) != B_OK || size < off_t(kHeaderSize) || size > off_t(kMaxFileSize))
		return B_BAD_DATA;
	std::vector<char> data(static_cast<size_t>(size));
	if (file.ReadAt(0, data.data(), data.size()) != ssize_t(data.size()))
		return B_IO_ERROR;
	return Parse(data.data(), data.size(), magic, settings);
}


status_t Parse(const void* data, size_t size, const char* magic, BMessage* settings)
{
	if (data == nullptr || magic == nullptr || settings == nullptr)
		return B_BAD_VALUE;
	if (size < kHeaderSize || size > kMaxFileSize)
		return B_BAD_DATA;
	const char* bytes = static_cast<const char*>(data);
	if (memcmp(bytes, magic, kMagicLength) != 0)
		return B_BAD_TYPE;
	for (size_t index = kMagicLength; index < kHeaderSize; index++) {
		if (bytes[index] != 0)
			return B_BAD_DATA;
	}
	BMessage read;
	if (read.Unflatten(bytes + kHeaderSize, size - kHeaderSize) != B_OK)
		return B_BAD_DATA;
	*settings = read;
	return B_OK;
}

}	// namespace JobSettingsFile
