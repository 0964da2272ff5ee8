#include "StreamerTapeRecords.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

namespace StreamerTapeRecords {

namespace {

constexpr int32 kLargestBlock = 0xffffff;

void Put32(uint8* at, uint32 value)
{
	for (int i = 0; i < 4; i++)
		at[i] = uint8(value >> (8 * i));
}

uint32 Get32(const uint8* at)
{
	return uint32(at[0]) | uint32(at[1]) << 8 | uint32(at[2]) << 16 | uint32(at[3]) << 24;
}

}	// namespace

void EncodeLabel(const std::string& mediaId, uint8* block)
{
	memset(block, 0, kBlockSize);
	Put32(block, kLabelMagic);
	memcpy(block + 4, mediaId.data(), std::min(mediaId.size(), kBlockSize - 5));
}

int32 DecodeLabel(const uint8* block, std::string* mediaId)
{
	if (Get32(block) != kLabelMagic)
		return 3;
	const char* text = reinterpret_cast<const char*>(block + 4);
	size_t length = strnlen(text, kMaxMediaId + 1);
	*mediaId = std::string(text, std::min(length, kMaxMediaId));
	return length > kMaxMediaId ? 4 : 0;
}

void EncodeBackupId(const BackupId& id, uint8* block)
{
	memset(block, 0, kBlockSize);
	Put32(block, kBackupIdMagic);
	memcpy(block + 4, id.name.data(), std::min(id.name.size(), kBackupNameSize));
	Put32(block + 36, uint32(id.cacheSize));
	Put32(block + 40, uint32(id.hardwareCompression));
}

bool DecodeBackupId(const uint8* block, BackupId* id)
{
	if (Get32(block) != kBackupIdMagic)
		return false;
	const char* name = reinterpret_cast<const char*>(block + 4);
	id->name.assign(name, strnlen(name, kBackupNameSize));
	id->cacheSize = int32(Get32(block + 36));
	id->hardwareCompression = int32(Get32(block + 40)) != 0 ? 1 : 0;
	return !id->name.empty() && id->cacheSize > 0 && id->cacheSize <= kLargestBlock;
}

std::string NewMediaId()
{
	time_t now = time(nullptr);
	struct tm local;
	localtime_r(&now, &local);
	static std::mt19937 random{std::random_device{}()};
	char text[64];
	snprintf(text, sizeof(text), "%4d%02d%02d%08d.media", local.tm_year + 1900,
		local.tm_mon + 1, local.tm_mday, int(random() % 100000000));
	return text;
}

}	// namespace StreamerTapeRecords
