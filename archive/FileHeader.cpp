#include "FileHeader.h"

#include <sys/stat.h>

#include <algorithm>

#include <kernel/fs_attr.h>
#include <kernel/fs_index.h>
#include <storage/Entry.h>
#include <storage/Node.h>
#include <storage/StorageDefs.h>
#include <storage/VolumeTable.h>

namespace {

// Where an attribute record keeps its variable fields in either layout.
struct AttributeLayout {
	uint32 fixedSize;
	uint32 lengthOffset;
	uint32 nextOffset;
	uint32 valueOffset;
	bool wide;
};

AttributeLayout LayoutFor(uint16 version)
{
	if (version < kArchiveVersion) {
		return {kOldAttributeFixedSize, kOldAttributeLengthOffset, kOldAttributeNextOffset,
			kOldAttributeValueOffset, false};
	}
	return {kAttributeFixedSize, kAttributeLengthOffset, kAttributeNextOffset,
		kAttributeValueOffset, true};
}

uint32 ReadField(const uint8* at, bool wide)
{
	return wide ? ReadLE32(at) : ReadLE16(at);
}

bool HasTerminator(const uint8* start, size_t length)
{
	return memchr(start, 0, length) != nullptr;
}

}

FileHeader::FileHeader()
	:
	fBuffer(kFileHeaderInitialBuffer, 0)
{
}

void FileHeader::Begin(EntryKind kind, const char* name, const FileHeaderStat& stat,
	uint32 level)
{
	// Only the fixed part and the name are cleared: attribute records clear
	// their own bytes, and clearing the whole buffer for every entry of a
	// backup of small files would cost more than writing them.
	std::fill_n(fBuffer.begin(), kFileHeaderFixedSize + RoundUpToAlignment(B_FILE_NAME_LENGTH), 0);
	uint8* buffer = fBuffer.data();
	WriteLE32(buffer, kFileHeaderMagic);
	WriteLE16(buffer + 4, kFileHeaderFixedSize);
	WriteLE16(buffer + kFileHeaderKindOffset, uint16(kind));
	WriteLE64(buffer + kFileHeaderSizeOffset, uint64(stat.size));
	WriteLE32(buffer + kFileHeaderAccessTimeOffset, uint32(stat.accessTime));
	WriteLE32(buffer + kFileHeaderModificationTimeOffset, uint32(stat.modificationTime));
	WriteLE32(buffer + kFileHeaderChangeTimeOffset, uint32(stat.changeTime));
	WriteLE32(buffer + kFileHeaderGroupOffset, stat.group);
	WriteLE32(buffer + kFileHeaderUserOffset, stat.user);
	WriteLE32(buffer + kFileHeaderPermissionsOffset, stat.permissions);
	WriteLE32(buffer + kFileHeaderLevelOffset, level);

	// A leaf name is at most B_FILE_NAME_LENGTH bytes; anything longer is
	// cut so that the name always fits the initial buffer.
	size_t nameLength = strnlen(name, B_FILE_NAME_LENGTH - 1);
	memcpy(buffer + kFileHeaderFixedSize, name, nameLength);
	fEnd = RoundUpToAlignment(kFileHeaderFixedSize + uint32(nameLength) + 1);
	WriteLE64(buffer + kFileHeaderAttributesOffset, fEnd);
	fLastAttribute = 0;
}

status_t FileHeader::_Grow(uint32 needed, uint32 required)
{
	if (required > kFileHeaderMaxLength)
		return B_NO_MEMORY;
	// The growth rule of the format's writers, repeated until the record
	// fits: the rule's estimate of a record can fall a few bytes short.
	uint64 size = fBuffer.size();
	while (size < required) {
		size = ((uint64(needed) + size) / size + 1) * size;
	}
	if (size > kFileHeaderMaxLength)
		size = kFileHeaderMaxLength;
	fBuffer.resize(size_t(size), 0);
	return B_OK;
}

status_t FileHeader::AddAttribute(const char* name, uint32 type, uint32 indexType,
	int64 position, const void* data, uint32 length)
{
	size_t nameLength = strnlen(name, B_ATTR_NAME_LENGTH);
	if (nameLength == 0 || nameLength >= B_ATTR_NAME_LENGTH)
		return B_BAD_VALUE;
	uint32 valueOffset = RoundUpToAlignment(kAttributeFixedSize + uint32(nameLength) + 1);
	uint64 recordSize = (uint64(valueOffset) + length + kArchiveAlignment - 1)
		/ kArchiveAlignment * kArchiveAlignment;
	if (uint64(fEnd) + recordSize > kFileHeaderMaxLength)
		return B_NO_MEMORY;
	uint32 required = fEnd + uint32(recordSize);
	if (required > fBuffer.size()) {
		status_t status = _Grow(length + uint32(nameLength) + 45, required);
		if (status != B_OK)
			return status;
	}

	uint8* record = fBuffer.data() + fEnd;
	memset(record, 0, recordSize);
	WriteLE32(record, kAttributeMagic);
	WriteLE16(record + 4, kAttributeFixedSize);
	WriteLE32(record + kAttributeTotalOffset, uint32(recordSize));
	WriteLE32(record + kAttributeTypeOffset, type);
	WriteLE32(record + kAttributeIndexTypeOffset, indexType);
	WriteLE64(record + kAttributePositionOffset, uint64(position));
	WriteLE32(record + kAttributeLengthOffset, length);
	WriteLE32(record + kAttributeNextOffset, uint32(recordSize));
	WriteLE32(record + kAttributeValueOffset, valueOffset);
	memcpy(record + kAttributeFixedSize, name, nameLength);
	if (length > 0)
		memcpy(record + valueOffset, data, length);

	fLastAttribute = fEnd;
	fEnd = required;
	return B_OK;
}

void FileHeader::Finish(int64 entryNumber)
{
	uint8* buffer = fBuffer.data();
	if (fLastAttribute == 0)
		WriteLE64(buffer + kFileHeaderAttributesOffset, 0);
	else
		WriteLE32(buffer + fLastAttribute + kAttributeNextOffset, 0);
	WriteLE32(buffer + kFileHeaderTotalOffset, fEnd);
	bool hasData = Kind() == EntryKind::File && Stat().size != 0;
	WriteLE64(buffer + kFileHeaderDataOffset, hasData ? fEnd : 0);
	WriteLE64(buffer + kFileHeaderEntryNumberOffset, uint64(entryNumber));
}

status_t FileHeader::BuildFromEntry(const char* path, uint32 level, int64 entryNumber,
	std::vector<std::string>* skipped, struct stat* statData)
{
	BEntry entry(path);
	struct stat status;
	status_t result = entry.InitCheck();
	if (result == B_OK)
		result = entry.GetStat(&status);
	if (result != B_OK)
		return result;
	if (statData != nullptr)
		*statData = status;
	BuildFromStat(path, entry.Name() != nullptr ? entry.Name() : "", status, nullptr, level,
		entryNumber, skipped);
	return B_OK;
}

void FileHeader::BuildFromStat(const char* path, const char* name, const struct stat& status,
	BNode* node, uint32 level, int64 entryNumber, std::vector<std::string>* skipped)
{
	EntryKind kind = EntryKind::File;
	if (S_ISLNK(status.st_mode)) {
		kind = EntryKind::SymLink;
	} else if (S_ISDIR(status.st_mode)) {
		VolumeTable::Location location;
		bool volumeRoot = VolumeTable::Locate(path, &location) == B_OK
			&& location.IsVolumeRoot();
		kind = volumeRoot ? EntryKind::VolumeRoot : EntryKind::Directory;
	}

	FileHeaderStat stat;
	stat.size = status.st_size;
	stat.accessTime = int32(status.st_atime);
	stat.modificationTime = int32(status.st_mtime);
	stat.changeTime = int32(status.st_ctime);
	stat.group = status.st_gid;
	stat.user = status.st_uid;
	stat.permissions = status.st_mode & 07777;
	Begin(kind, name, stat, level);

	BNode ownNode;
	if (node == nullptr) {
		(void)ownNode.SetTo(path);
		node = &ownNode;
	}
	if (node->InitCheck() == B_OK) {
		char attribute[B_ATTR_NAME_LENGTH];
		(void)node->RewindAttrs();
		while (node->GetNextAttrName(attribute) == B_OK)
			(void)_AddEntryAttribute(node, status.st_dev, attribute, skipped);
	} else if (skipped != nullptr) {
		skipped->push_back("*");
	}
	Finish(entryNumber);
}

status_t FileHeader::_AddEntryAttribute(BNode* node, dev_t device, const char* name,
	std::vector<std::string>* skipped)
{
	attr_info info;
	status_t status = node->GetAttrInfo(name, &info);
	if (status == B_OK && info.size == 0)
		return B_OK;
	if (status == B_OK && (info.size < 0 || info.size > kFileHeaderMaxLength))
		status = B_FILE_TOO_LARGE;

	index_info index;
	uint32 indexType = fs_stat_index(device, name, &index) == B_OK ? index.type : 0;
	std::vector<uint8> value;
	int64 position = 0;
	while (status == B_OK && position < info.size) {
		value.resize(size_t(info.size - position));
		ssize_t read = node->ReadAttr(name, info.type, position, value.data(), value.size());
		if (read < 0)
			status = status_t(read);
		if (read <= 0)
			break;
		status = AddAttribute(name, info.type, indexType, position, value.data(),
			uint32(read));
		position += read;
	}
	if (status != B_OK && skipped != nullptr)
		skipped->push_back(name);
	return status;
}

status_t FileHeader::Reserve(uint32 total, uint32 keep)
{
	if (total > kFileHeaderMaxLength)
		return B_NO_MEMORY;
	uint32 size = uint32(fBuffer.size());
	if (total <= size)
		return B_OK;
	// The readers' growth rule: whole multiples of the current size.
	uint64 newSize = (uint64(total) / size + 1) * size;
	if (newSize > kFileHeaderMaxLength)
		newSize = kFileHeaderMaxLength;
	std::vector<uint8> grown(size_t(newSize), 0);
	memcpy(grown.data(), fBuffer.data(), std::min<size_t>(keep, fBuffer.size()));
	fBuffer.swap(grown);
	return B_OK;
}

uint32 FileHeader::Length() const
{
	uint32 length = ReadLE32(Data() + kFileHeaderTotalOffset);
	return length < BufferSize() ? length : BufferSize();
}

EntryKind FileHeader::Kind() const
{
	return EntryKind(RawKind());
}

uint16 FileHeader::RawKind() const
{
	return ReadLE16(Data() + kFileHeaderKindOffset);
}

FileHeaderStat FileHeader::Stat() const
{
	const uint8* data = Data();
	FileHeaderStat stat;
	stat.size = int64(ReadLE64(data + kFileHeaderSizeOffset));
	stat.accessTime = int32(ReadLE32(data + kFileHeaderAccessTimeOffset));
	stat.modificationTime = int32(ReadLE32(data + kFileHeaderModificationTimeOffset));
	stat.changeTime = int32(ReadLE32(data + kFileHeaderChangeTimeOffset));
	stat.group = ReadLE32(data + kFileHeaderGroupOffset);
	stat.user = ReadLE32(data + kFileHeaderUserOffset);
	stat.permissions = ReadLE32(data + kFileHeaderPermissionsOffset);
	return stat;
}

int64 FileHeader::AttributeOffset() const
{
	return int64(ReadLE64(Data() + kFileHeaderAttributesOffset));
}

int64 FileHeader::DataOffset() const
{
	return int64(ReadLE64(Data() + kFileHeaderDataOffset));
}

int64 FileHeader::EntryNumber() const
{
	return int64(ReadLE64(Data() + kFileHeaderEntryNumberOffset));
}

uint32 FileHeader::Level() const
{
	return ReadLE32(Data() + kFileHeaderLevelOffset);
}

const char* FileHeader::Name() const
{
	uint32 end = Length();
	int64 attributes = AttributeOffset();
	if (attributes > kFileHeaderFixedSize && attributes < end)
		end = uint32(attributes);
	if (end <= kFileHeaderFixedSize)
		return nullptr;
	const uint8* name = Data() + kFileHeaderFixedSize;
	if (!HasTerminator(name, end - kFileHeaderFixedSize))
		return nullptr;
	return reinterpret_cast<const char*>(name);
}

status_t FileHeader::NextAttribute(uint32* cursor, FileHeaderAttribute* attribute,
	uint16 version) const
{
	uint32 length = Length();
	uint64 at = *cursor;
	if (at == 0) {
		int64 first = AttributeOffset();
		if (first == 0)
			return B_ENTRY_NOT_FOUND;
		if (first <= kFileHeaderFixedSize || uint64(first) >= length)
			return B_BAD_DATA;
		at = uint64(first);
	}
	if (at == UINT32_MAX)
		return B_ENTRY_NOT_FOUND;

	AttributeLayout layout = LayoutFor(version);
	if (at + layout.fixedSize > length)
		return B_BAD_DATA;
	const uint8* record = Data() + at;
	// Another magic ends the list, as the format's readers have it.
	if (ReadLE32(record) != kAttributeMagic)
		return B_ENTRY_NOT_FOUND;

	uint32 valueLength = ReadField(record + layout.lengthOffset, layout.wide);
	uint32 next = ReadField(record + layout.nextOffset, layout.wide);
	uint32 valueOffset = ReadField(record + layout.valueOffset, layout.wide);
	if (valueOffset <= layout.fixedSize || at + valueOffset + valueLength > length)
		return B_BAD_DATA;
	if (!HasTerminator(record + layout.fixedSize, valueOffset - layout.fixedSize))
		return B_BAD_DATA;
	if (next != 0 && (next < layout.fixedSize || at + next > length))
		return B_BAD_DATA;

	attribute->name = reinterpret_cast<const char*>(record + layout.fixedSize);
	attribute->type = ReadLE32(record + kAttributeTypeOffset);
	attribute->indexType = ReadLE32(record + kAttributeIndexTypeOffset);
	attribute->position = int64(ReadLE64(record + kAttributePositionOffset));
	attribute->data = record + valueOffset;
	attribute->length = valueLength;
	*cursor = next == 0 ? UINT32_MAX : uint32(at + next);
	return B_OK;
}

status_t FileHeader::Validate(uint16 version) const
{
	if (ReadLE32(Data() + kFileHeaderTotalOffset) > BufferSize() || Name() == nullptr)
		return B_BAD_DATA;
	uint32 cursor = 0;
	FileHeaderAttribute attribute;
	status_t status;
	while ((status = NextAttribute(&cursor, &attribute, version)) == B_OK) {
	}
	return status == B_ENTRY_NOT_FOUND ? B_OK : status;
}

status_t FileHeader::WriteAttributesTo(BNode* node, uint16 version, int32* failures) const
{
	struct stat status;
	dev_t device = node->GetStat(&status) == B_OK ? status.st_dev : 0;
	status_t first = B_OK;
	int32 count = 0;
	uint32 cursor = 0;
	FileHeaderAttribute attribute;
	status_t walk;
	while ((walk = NextAttribute(&cursor, &attribute, version)) == B_OK) {
		if (attribute.indexType != 0)
			(void)fs_create_index(device, attribute.name, attribute.indexType, 0);
		ssize_t written = node->WriteAttr(attribute.name, attribute.type, attribute.position,
			attribute.data, attribute.length);
		if (written == ssize_t(attribute.length))
			continue;
		count++;
		if (first == B_OK)
			first = written < 0 ? status_t(written) : B_IO_ERROR;
	}
	if (walk != B_ENTRY_NOT_FOUND) {
		count++;
		if (first == B_OK)
			first = walk;
	}
	if (failures != nullptr)
		*failures = count;
	return first;
}
