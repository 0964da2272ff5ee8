#include "BackupHeaderReader.h"

#include <cstring>

namespace {

template<typename Value>
void Store(uint8* header, size_t offset, Value value)
{
	memcpy(header + offset, &value, sizeof(value));
}

template<typename Value>
Value Load(const uint8* header, size_t offset)
{
	Value value;
	memcpy(&value, header + offset, sizeof(value));
	return value;
}

// One read of exactly length bytes: a destination hands out what it has in
// one call, so a short read means the medium holds no whole header.
bool ReadExactly(const BackupByteSource& source, uint8* buffer, int64 length)
{
	if (length == 0)
		return true;
	return source(buffer, length) == length;
}

} // namespace

int32 BackupHeaderReader::Read(const BackupByteSource& source, uint8* header,
	int32* bytesRead)
{
	if (header == nullptr || !source)
		return kHeaderReadError;
	memset(header, 0, kBackupHeaderSize);
	if (!ReadExactly(source, header, kRecordHeadSize))
		return kHeaderReadError;
	if (Load<uint32>(header, 0) != kBackupHeaderMagic)
		return kHeaderWrongMagic;
	size_t length = Load<uint16>(header, 4);
	if (length < kRecordHeadSize)
		return kHeaderReadError;
	if (length > kBackupHeaderSize)
		length = kBackupHeaderSize;
	int64 rest = int64(length - kRecordHeadSize);
	if (!ReadExactly(source, header + kRecordHeadSize, rest))
		return kHeaderReadError;
	Upgrade(header);
	if (bytesRead != nullptr)
		*bytesRead = int32(length);
	return kHeaderOK;
}

void BackupHeaderReader::Upgrade(uint8* header)
{
	uint16 version = Load<uint16>(header, 6);
	if (version <= 0x80)
		Store<int16>(header, 192, 0);
	if (version <= 0x81) {
		Store<int32>(header, 196, 0);
		Store<int32>(header, 200, 0);
		Store<int32>(header, 204, 0);
	}
	if (version <= 0x82) {
		Store<int32>(header, 208, 0);
		Store<int32>(header, 212, 1);
		Store<int32>(header, 216, 0);
	}
}
