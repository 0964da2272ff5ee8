#pragma once

// The flattened form of a message (docs/message-format.md has the prose).
// Every number is little-endian.
//
// Header, 24 bytes:
//   0  4  magic "MVMG"
//   4  2  format version (1)
//   6  2  flags: bit 0 = a delivery block follows the header
//   8  4  what
//  12  4  number of fields
//  16  8  total size of the flattened message, header included
//
// Delivery block, 24 bytes, only in messages that travel between loopers:
//   0  4  target handler token (-1: the looper's preferred handler)
//   4  4  reply team      8  4  reply port      12  4  reply handler token
//  16  4  flags: bit 0 = the sender waits for a reply, bit 1 = this is a reply
//  20  4  team of the sender
//
// Then each field:
//   0  4  type code
//   4  4  number of items, at least 1
//   8  4  item size for a fixed-size field (at least 1); 0 for variable size
//  12  2  name length N, 1 to 255
//  14  N  name, without terminator
//   fixed size:    count * item size bytes of items
//   variable size: count * 4 bytes of item sizes, then the items back to back
//
// Strings and refs are items that end with their NUL byte; a nested message
// is an item holding a whole flattened message.

#include <cstring>
#include <type_traits>
#include <vector>

#include <app/Message.h>

namespace MorvaneKit {

constexpr char kMessageMagic[4] = {'M', 'V', 'M', 'G'};
constexpr uint16 kMessageFormatVersion = 1;
constexpr uint16 kMessageHasDelivery = 0x1;
constexpr size_t kMessageHeaderSize = 24;
constexpr size_t kDeliveryBlockSize = 24;
constexpr size_t kFieldHeaderSize = 14;
constexpr uint32 kDeliverySourceWaiting = 0x1;
constexpr uint32 kDeliveryIsReply = 0x2;

template<typename T>
inline void StoreLE(char* out, T value)
{
	static_assert(std::is_trivially_copyable_v<T>);
	// The kit runs on little-endian machines only; the copy is the encoding.
	static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
	memcpy(out, &value, sizeof(T));
}

template<>
inline void StoreLE<bool>(char* out, bool value)
{
	*out = value ? 1 : 0;
}

template<typename T>
inline T LoadLE(const char* in)
{
	T value;
	memcpy(&value, in, sizeof(T));
	return value;
}

template<>
inline bool LoadLE<bool>(const char* in)
{
	return *in != 0;
}

std::vector<char> EncodeRect(BRect rect);
BRect DecodeRect(const char* bytes);
std::vector<char> EncodePoint(BPoint point);
BPoint DecodePoint(const char* bytes);
std::vector<char> EncodeMessenger(const BMessenger& messenger);
BMessenger DecodeMessenger(const char* bytes);

bool IsValidFieldName(const char* name);

// Checks one item before it is stored: the size a known type must have,
// the terminator of strings and refs, a nested message's validity. Sets
// isFixedSize for types whose storage is decided by the type.
status_t CheckItem(type_code type, const void* data, size_t size, bool* isFixedSize);

// Checks a flattened message without building it; depth counts the
// enclosing messages. On success gives the size of the message's bytes.
status_t ValidateFlattened(const char* data, size_t size, int32 depth, size_t* messageSize);

// The flattened form with the delivery block, and its reading, for the
// kit's transport between processes.
status_t FlattenWithDelivery(const BMessage& message, std::vector<char>* out);
status_t UnflattenWithDelivery(BMessage* message, const char* data, size_t size);

}	// namespace MorvaneKit
