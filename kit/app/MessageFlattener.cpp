// Flattening and strict unflattening of messages; the layout is in
// MessageFormat.h.

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "MessageField.h"
#include "MessageFormat.h"

namespace MorvaneKit {

namespace {

// The item size a type demands, or 0 when the type allows any size.
uint32 FixedSizeOfType(type_code type)
{
	switch (type) {
		case B_BOOL_TYPE:
		case B_INT8_TYPE:
		case B_UINT8_TYPE:
		case B_CHAR_TYPE:
			return 1;
		case B_INT16_TYPE:
		case B_UINT16_TYPE:
			return 2;
		case B_INT32_TYPE:
		case B_UINT32_TYPE:
		case B_FLOAT_TYPE:
			return 4;
		case B_INT64_TYPE:
		case B_UINT64_TYPE:
		case B_DOUBLE_TYPE:
		case B_POINTER_TYPE:
		case B_POINT_TYPE:
			return 8;
		case B_MESSENGER_TYPE:
			return 12;
		case B_RECT_TYPE:
			return 16;
		default:
			return 0;
	}
}

bool IsTerminatedType(type_code type)
{
	return type == B_STRING_TYPE || type == B_REF_TYPE;
}

bool IsVariableType(type_code type)
{
	return IsTerminatedType(type) || type == B_MESSAGE_TYPE;
}

// Reads a flattened message with every length checked against what remains.
class Reader {
public:
	Reader(const char* data, size_t size) : fData(data), fSize(size) {}

	bool Has(uint64 count) const { return count <= fSize - fPosition; }
	size_t Remaining() const { return fSize - fPosition; }
	size_t Position() const { return fPosition; }
	const char* Here() const { return fData + fPosition; }
	void Skip(size_t count) { fPosition += count; }

	template<typename T>
	T Read()
	{
		T value = LoadLE<T>(fData + fPosition);
		fPosition += sizeof(T);
		return value;
	}

private:
	const char* fData;
	size_t fSize;
	size_t fPosition = 0;
};

struct Header {
	uint16 flags;
	uint32 what;
	uint32 fieldCount;
	uint64 totalSize;
};

status_t ReadHeader(const char* data, size_t size, Header* header)
{
	if (size < kMessageHeaderSize || memcmp(data, kMessageMagic, 4) != 0)
		return B_BAD_DATA;
	Reader reader(data + 4, kMessageHeaderSize - 4);
	if (reader.Read<uint16>() != kMessageFormatVersion)
		return B_BAD_DATA;
	header->flags = reader.Read<uint16>();
	header->what = reader.Read<uint32>();
	header->fieldCount = reader.Read<uint32>();
	header->totalSize = reader.Read<uint64>();
	if ((header->flags & ~kMessageHasDelivery) != 0 || header->totalSize < kMessageHeaderSize)
		return B_BAD_DATA;
	if (header->totalSize > B_MESSAGE_MAX_FLATTENED_SIZE)
		return B_MESSAGE_TOO_BIG;
	return B_OK;
}

status_t ReadDelivery(Reader& reader, MessageDeliveryInfo* delivery)
{
	if (!reader.Has(kDeliveryBlockSize))
		return B_BAD_DATA;
	int32 targetToken = reader.Read<int32>();
	team_id team = reader.Read<int32>();
	port_id port = reader.Read<int32>();
	int32 handler = reader.Read<int32>();
	uint32 flags = reader.Read<uint32>();
	team_id sourceTeam = reader.Read<int32>();
	if ((flags & ~(kDeliverySourceWaiting | kDeliveryIsReply)) != 0)
		return B_BAD_DATA;
	if (delivery != nullptr) {
		delivery->targetToken = targetToken;
		delivery->replyTo = BMessenger::FromParts(team, port, handler);
		delivery->sourceWaiting = (flags & kDeliverySourceWaiting) != 0;
		delivery->isReply = (flags & kDeliveryIsReply) != 0;
		delivery->sourceTeam = sourceTeam;
		delivery->delivered = true;
	}
	return B_OK;
}

status_t CheckVariableItem(type_code type, const char* item, size_t size, int32 depth)
{
	if (IsTerminatedType(type))
		return size > 0 && item[size - 1] == '\0' ? B_OK : B_BAD_DATA;
	if (type == B_MESSAGE_TYPE) {
		size_t messageSize;
		status_t status = ValidateFlattened(item, size, depth + 1, &messageSize);
		if (status != B_OK)
			return status;
		return messageSize == size ? B_OK : B_BAD_DATA;
	}
	return B_OK;
}

// Reads one field; with field null it only checks it.
status_t ReadField(Reader& reader, int32 depth, MessageField* field,
	std::unordered_set<std::string_view>& names)
{
	if (!reader.Has(kFieldHeaderSize))
		return B_BAD_DATA;
	type_code type = reader.Read<uint32>();
	uint32 count = reader.Read<uint32>();
	uint32 itemSize = reader.Read<uint32>();
	uint16 nameLength = reader.Read<uint16>();
	if (count == 0 || count > uint32(INT32_MAX) || nameLength == 0
		|| nameLength > B_FIELD_NAME_LENGTH || !reader.Has(nameLength)) {
		return B_BAD_DATA;
	}
	std::string_view name(reader.Here(), nameLength);
	if (name.find('\0') != std::string_view::npos || !names.insert(name).second)
		return B_BAD_DATA;
	reader.Skip(nameLength);

	uint32 typeSize = FixedSizeOfType(type);
	if ((typeSize != 0 && itemSize != typeSize) || (IsVariableType(type) && itemSize != 0))
		return B_BAD_DATA;

	if (itemSize != 0) {
		uint64 bytes = uint64(count) * itemSize;
		if (!reader.Has(bytes))
			return B_BAD_DATA;
		if (field != nullptr)
			field->data.assign(reader.Here(), reader.Here() + bytes);
		reader.Skip(size_t(bytes));
	} else {
		if (!reader.Has(uint64(count) * 4))
			return B_BAD_DATA;
		const char* sizes = reader.Here();
		reader.Skip(size_t(count) * 4);
		uint64 total = 0;
		for (uint32 i = 0; i < count; i++)
			total += LoadLE<uint32>(sizes + size_t(i) * 4);
		if (!reader.Has(total))
			return B_BAD_DATA;
		const char* items = reader.Here();
		if (field != nullptr) {
			field->data.assign(items, items + total);
			field->ends.reserve(count);
		}
		uint64 end = 0;
		for (uint32 i = 0; i < count; i++) {
			uint32 size = LoadLE<uint32>(sizes + size_t(i) * 4);
			status_t status = CheckVariableItem(type, items + end, size, depth);
			if (status != B_OK)
				return status;
			end += size;
			if (field != nullptr)
				field->ends.push_back(end);
		}
		reader.Skip(size_t(total));
	}
	if (field != nullptr) {
		field->name.assign(name);
		field->type = type;
		field->itemSize = itemSize;
		field->count = int32(count);
	}
	return B_OK;
}

// Reads a whole message; with message null it only checks it.
status_t ReadMessage(const char* data, size_t size, int32 depth, BMessage* message,
	MessageDeliveryInfo* delivery, size_t* messageSize)
{
	if (depth > B_MESSAGE_MAX_NESTING)
		return B_BAD_DATA;
	Header header;
	status_t status = ReadHeader(data, size, &header);
	if (status != B_OK)
		return status;
	if (header.totalSize > size)
		return B_BAD_DATA;
	Reader reader(data, size_t(header.totalSize));
	reader.Skip(kMessageHeaderSize);
	if ((header.flags & kMessageHasDelivery) != 0) {
		status = ReadDelivery(reader, delivery);
		if (status != B_OK)
			return status;
	}
	// Every field takes at least its header, a one-byte name and one item.
	if (header.fieldCount > reader.Remaining() / (kFieldHeaderSize + 1))
		return B_BAD_DATA;

	std::unordered_set<std::string_view> names;
	std::vector<MessageField> fields;
	if (message != nullptr)
		fields.resize(header.fieldCount);
	for (uint32 i = 0; i < header.fieldCount; i++) {
		status = ReadField(reader, depth, message != nullptr ? &fields[i] : nullptr, names);
		if (status != B_OK)
			return status;
	}
	if (reader.Remaining() != 0)
		return B_BAD_DATA;
	if (message != nullptr) {
		message->what = header.what;
		MessageAccess::Fields(*message) = std::move(fields);
	}
	if (messageSize != nullptr)
		*messageSize = size_t(header.totalSize);
	return B_OK;
}

uint64 FieldFlattenedSize(const MessageField& field)
{
	uint64 size = kFieldHeaderSize + field.name.size() + field.data.size();
	if (!field.IsFixedSize())
		size += uint64(field.count) * 4;
	return size;
}

uint64 ContentSize(const BMessage& message, bool withDelivery)
{
	uint64 size = kMessageHeaderSize + (withDelivery ? kDeliveryBlockSize : 0);
	for (const MessageField& field : MessageAccess::Fields(message))
		size += FieldFlattenedSize(field);
	return size;
}

class Writer {
public:
	explicit Writer(char* out) : fOut(out) {}

	template<typename T>
	void Write(T value)
	{
		StoreLE(fOut, value);
		fOut += sizeof(T);
	}
	void WriteBytes(const void* data, size_t size)
	{
		if (size > 0)
			memcpy(fOut, data, size);
		fOut += size;
	}

private:
	char* fOut;
};

void WriteDelivery(Writer& writer, const MessageDeliveryInfo* delivery)
{
	MessageDeliveryInfo none;
	if (delivery == nullptr)
		delivery = &none;
	writer.Write<int32>(delivery->targetToken);
	writer.Write<int32>(delivery->replyTo.Team());
	writer.Write<int32>(delivery->replyTo.Port());
	writer.Write<int32>(delivery->replyTo.HandlerToken());
	uint32 flags = (delivery->sourceWaiting ? kDeliverySourceWaiting : 0)
		| (delivery->isReply ? kDeliveryIsReply : 0);
	writer.Write<uint32>(flags);
	writer.Write<int32>(delivery->sourceTeam);
}

void WriteField(Writer& writer, const MessageField& field)
{
	writer.Write<uint32>(field.type);
	writer.Write<uint32>(uint32(field.count));
	writer.Write<uint32>(field.itemSize);
	writer.Write<uint16>(uint16(field.name.size()));
	writer.WriteBytes(field.name.data(), field.name.size());
	if (!field.IsFixedSize()) {
		uint64 start = 0;
		for (uint64 end : field.ends) {
			writer.Write<uint32>(uint32(end - start));
			start = end;
		}
	}
	writer.WriteBytes(field.data.data(), field.data.size());
}

status_t FlattenInto(const BMessage& message, bool withDelivery, std::vector<char>* out)
{
	uint64 size = ContentSize(message, withDelivery);
	if (size > B_MESSAGE_MAX_FLATTENED_SIZE)
		return B_MESSAGE_TOO_BIG;
	const auto& fields = MessageAccess::Fields(message);
	out->resize(size_t(size));
	Writer writer(out->data());
	writer.WriteBytes(kMessageMagic, 4);
	writer.Write<uint16>(kMessageFormatVersion);
	writer.Write<uint16>(withDelivery ? kMessageHasDelivery : 0);
	writer.Write<uint32>(message.what);
	writer.Write<uint32>(uint32(fields.size()));
	writer.Write<uint64>(size);
	if (withDelivery)
		WriteDelivery(writer, MessageAccess::FindDelivery(message));
	for (const MessageField& field : fields)
		WriteField(writer, field);
	return B_OK;
}

}	// namespace

std::vector<char> EncodeRect(BRect rect)
{
	std::vector<char> bytes(16);
	StoreLE(bytes.data(), rect.left);
	StoreLE(bytes.data() + 4, rect.top);
	StoreLE(bytes.data() + 8, rect.right);
	StoreLE(bytes.data() + 12, rect.bottom);
	return bytes;
}

BRect DecodeRect(const char* bytes)
{
	return BRect(LoadLE<float>(bytes), LoadLE<float>(bytes + 4), LoadLE<float>(bytes + 8),
		LoadLE<float>(bytes + 12));
}

std::vector<char> EncodePoint(BPoint point)
{
	std::vector<char> bytes(8);
	StoreLE(bytes.data(), point.x);
	StoreLE(bytes.data() + 4, point.y);
	return bytes;
}

BPoint DecodePoint(const char* bytes)
{
	return BPoint(LoadLE<float>(bytes), LoadLE<float>(bytes + 4));
}

std::vector<char> EncodeMessenger(const BMessenger& messenger)
{
	std::vector<char> bytes(12);
	StoreLE(bytes.data(), messenger.Team());
	StoreLE(bytes.data() + 4, messenger.Port());
	StoreLE(bytes.data() + 8, messenger.HandlerToken());
	return bytes;
}

BMessenger DecodeMessenger(const char* bytes)
{
	return BMessenger::FromParts(LoadLE<int32>(bytes), LoadLE<int32>(bytes + 4),
		LoadLE<int32>(bytes + 8));
}

bool IsValidFieldName(const char* name)
{
	if (name == nullptr)
		return false;
	size_t length = strnlen(name, B_FIELD_NAME_LENGTH + 1);
	return length > 0 && length <= size_t(B_FIELD_NAME_LENGTH);
}

status_t CheckItem(type_code type, const void* data, size_t size, bool* isFixedSize)
{
	uint32 typeSize = FixedSizeOfType(type);
	if (typeSize != 0) {
		*isFixedSize = true;
		return size == typeSize ? B_OK : B_BAD_VALUE;
	}
	if (IsVariableType(type)) {
		*isFixedSize = false;
		return CheckVariableItem(type, static_cast<const char*>(data), size, 0) == B_OK
			? B_OK : B_BAD_VALUE;
	}
	if (size == 0 || size > UINT32_MAX)
		*isFixedSize = false;
	return size > UINT32_MAX ? B_MESSAGE_TOO_BIG : B_OK;
}

status_t ValidateFlattened(const char* data, size_t size, int32 depth, size_t* messageSize)
{
	return ReadMessage(data, size, depth, nullptr, nullptr, messageSize);
}

status_t FlattenWithDelivery(const BMessage& message, std::vector<char>* out)
{
	return FlattenInto(message, true, out);
}

status_t UnflattenWithDelivery(BMessage* message, const char* data, size_t size)
{
	MessageDeliveryInfo delivery;
	BMessage result;
	status_t status = ReadMessage(data, size, 0, &result, &delivery, nullptr);
	if (status != B_OK) {
		*message = BMessage();
		return status;
	}
	*message = std::move(result);
	MessageAccess::DeliveryOf(*message) = delivery;
	return B_OK;
}

}	// namespace MorvaneKit

using namespace MorvaneKit;

ssize_t BMessage::FlattenedSize() const
{
	if (fBuildError != B_OK)
		return fBuildError;
	uint64 size = ContentSize(*this, false);
	return size > B_MESSAGE_MAX_FLATTENED_SIZE ? B_MESSAGE_TOO_BIG : ssize_t(size);
}

status_t BMessage::Flatten(std::vector<char>* out) const
{
	if (out == nullptr)
		return B_BAD_VALUE;
	if (fBuildError != B_OK)
		return fBuildError;
	return FlattenInto(*this, false, out);
}

status_t BMessage::Flatten(char* buffer, ssize_t size) const
{
	if (buffer == nullptr)
		return B_BAD_VALUE;
	ssize_t needed = FlattenedSize();
	if (needed < 0)
		return status_t(needed);
	if (size < needed)
		return B_BUFFER_OVERFLOW;
	std::vector<char> flat;
	status_t status = FlattenInto(*this, false, &flat);
	if (status == B_OK)
		memcpy(buffer, flat.data(), flat.size());
	return status;
}

status_t BMessage::Flatten(BDataIO* stream, ssize_t* size) const
{
	if (stream == nullptr)
		return B_BAD_VALUE;
	if (fBuildError != B_OK)
		return fBuildError;
	std::vector<char> flat;
	status_t status = FlattenInto(*this, false, &flat);
	if (status != B_OK)
		return status;
	status = stream->WriteExactly(flat.data(), flat.size());
	if (status == B_OK && size != nullptr)
		*size = ssize_t(flat.size());
	return status;
}

status_t BMessage::Unflatten(const char* data, size_t size)
{
	BMessage result;
	status_t status = data == nullptr ? B_BAD_VALUE
		: ReadMessage(data, size, 0, &result, nullptr, nullptr);
	// The content is replaced either way; a failed read leaves an empty
	// message rather than a half-read one.
	*this = std::move(result);
	return status;
}

status_t BMessage::Unflatten(BDataIO* stream)
{
	if (stream == nullptr)
		return B_BAD_VALUE;
	std::vector<char> flat(kMessageHeaderSize);
	status_t status = stream->ReadExactly(flat.data(), flat.size());
	Header header;
	if (status == B_OK)
		status = ReadHeader(flat.data(), flat.size(), &header);
	// The header's size is not trusted for the allocation: the buffer grows
	// only as bytes really arrive.
	constexpr size_t kChunk = 1 << 20;
	while (status == B_OK && flat.size() < header.totalSize) {
		size_t have = flat.size();
		size_t next = std::min<uint64>(header.totalSize, have + kChunk);
		flat.resize(next);
		status = stream->ReadExactly(flat.data() + have, next - have);
	}
	if (status != B_OK) {
		*this = BMessage();
		return status == B_PARTIAL_READ ? B_BAD_DATA : status;
	}
	return Unflatten(flat.data(), flat.size());
}
