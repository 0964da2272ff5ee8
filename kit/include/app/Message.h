#pragma once

// A BMessage is a 32-bit command code ("what") plus named fields. Each name
// holds an array of values of one type; the order of names is the order in
// which they were first added. Adding appends in amortised constant time,
// replacing overwrites one index, finding fails with B_NAME_NOT_FOUND for a
// missing name, B_BAD_TYPE for a type mismatch and B_BAD_INDEX past the end.
//
// A message is a value: copies are independent. It is not thread-safe; one
// thread at a time owns it. Pointers handed out by the Find calls (strings,
// data) stay valid until the field is changed or the message is destroyed.
//
// Flatten() writes the form described in docs/message-format.md; Unflatten()
// reads it back strictly: every length is checked, nesting and total size
// are capped, and malformed input leaves an empty message and returns
// B_BAD_DATA (or B_MESSAGE_TOO_BIG, B_NO_MEMORY).
//
// Building: the Add, Replace and Set calls return B_OK or why the value was
// not stored (B_BAD_TYPE for a name of another type, B_BAD_VALUE, B_NAME_NOT_
// FOUND or B_BAD_INDEX for a Replace of what is not there, B_NO_MEMORY), and
// the message keeps the first such failure: InitCheck() reports it, and
// Flatten() and every send refuse the message with it, so that a message
// that lost a value never leaves its builder. A builder may therefore drop
// their results. The Remove calls and MakeEmpty() report what there was to
// remove; MakeEmpty() also clears a kept failure.
//
// A message that a sender waits on (a synchronous request) must be answered
// once with SendReply(); if it is destroyed unanswered, the sender receives
// a B_NO_REPLY message instead.

#include <memory>
#include <string>
#include <vector>

#include <app/AppDefs.h>
#include <app/Messenger.h>
#include <interface/Rect.h>
#include <kernel/OS.h>
#include <support/DataIO.h>
#include <support/Errors.h>
#include <support/TypeConstants.h>

class BHandler;
struct entry_ref;

namespace MorvaneKit {
struct MessageAccess;
}

constexpr int32 B_FIELD_NAME_LENGTH = 255;
// Limits that Unflatten() applies to untrusted input.
constexpr int32 B_MESSAGE_MAX_NESTING = 32;
constexpr uint64 B_MESSAGE_MAX_FLATTENED_SIZE = 1ull << 30;

class BMessage {
public:
	uint32 what = 0;

	BMessage();
	explicit BMessage(uint32 command);
	BMessage(const BMessage& other);
	BMessage(BMessage&& other) noexcept;
	BMessage& operator=(const BMessage& other);
	BMessage& operator=(BMessage&& other) noexcept;
	virtual ~BMessage();

	// Field information.
	[[nodiscard]] status_t GetInfo(const char* name, type_code* typeFound, int32* countFound = nullptr) const;
	[[nodiscard]] status_t GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const;
	// The index-th name holding values of a type (B_ANY_TYPE for all), in
	// the order names were added.
	[[nodiscard]] status_t GetInfo(type_code type, int32 index, const char** nameFound,
		type_code* typeFound, int32* countFound = nullptr) const;
	int32 CountNames(type_code type) const;
	// B_OK, or the first failure of an Add, Replace or Set call.
	[[nodiscard]] status_t InitCheck() const { return fBuildError; }
	bool IsEmpty() const { return fFields.empty(); }
	bool HasData(const char* name, type_code type, int32 index = 0) const;
	status_t Rename(const char* oldName, const char* newName);
	// A readable dump for logs and tests.
	std::string ToString() const;
	void PrintToStream() const;

	// Adding values.
	status_t AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
		bool isFixedSize = true, int32 count = 1);
	status_t AddBool(const char* name, bool value);
	status_t AddInt8(const char* name, int8 value);
	status_t AddUInt8(const char* name, uint8 value);
	status_t AddInt16(const char* name, int16 value);
	status_t AddUInt16(const char* name, uint16 value);
	status_t AddInt32(const char* name, int32 value);
	status_t AddUInt32(const char* name, uint32 value);
	status_t AddInt64(const char* name, int64 value);
	status_t AddUInt64(const char* name, uint64 value);
	status_t AddFloat(const char* name, float value);
	status_t AddDouble(const char* name, double value);
	status_t AddString(const char* name, const char* value);
	status_t AddString(const char* name, const std::string& value);
	status_t AddRect(const char* name, BRect value);
	status_t AddPoint(const char* name, BPoint value);
	status_t AddPointer(const char* name, const void* value);
	status_t AddMessenger(const char* name, BMessenger value);
	status_t AddRef(const char* name, const entry_ref* ref);
	status_t AddMessage(const char* name, const BMessage* message);
	// A 4-byte time in seconds since 1970, type B_TIME_TYPE.
	status_t AddTime(const char* name, int32 seconds);

	// Removing values.
	status_t RemoveData(const char* name, int32 index = 0);
	status_t RemoveName(const char* name);
	status_t MakeEmpty();

	// Finding values.
	[[nodiscard]] status_t FindData(const char* name, type_code type, int32 index, const void** data,
		ssize_t* numBytes) const;
	[[nodiscard]] status_t FindData(const char* name, type_code type, const void** data,
		ssize_t* numBytes) const;
	[[nodiscard]] status_t FindBool(const char* name, int32 index, bool* value) const;
	[[nodiscard]] status_t FindBool(const char* name, bool* value) const;
	[[nodiscard]] status_t FindInt8(const char* name, int32 index, int8* value) const;
	[[nodiscard]] status_t FindInt8(const char* name, int8* value) const;
	[[nodiscard]] status_t FindUInt8(const char* name, int32 index, uint8* value) const;
	[[nodiscard]] status_t FindUInt8(const char* name, uint8* value) const;
	[[nodiscard]] status_t FindInt16(const char* name, int32 index, int16* value) const;
	[[nodiscard]] status_t FindInt16(const char* name, int16* value) const;
	[[nodiscard]] status_t FindUInt16(const char* name, int32 index, uint16* value) const;
	[[nodiscard]] status_t FindUInt16(const char* name, uint16* value) const;
	[[nodiscard]] status_t FindInt32(const char* name, int32 index, int32* value) const;
	[[nodiscard]] status_t FindInt32(const char* name, int32* value) const;
	[[nodiscard]] status_t FindUInt32(const char* name, int32 index, uint32* value) const;
	[[nodiscard]] status_t FindUInt32(const char* name, uint32* value) const;
	[[nodiscard]] status_t FindInt64(const char* name, int32 index, int64* value) const;
	[[nodiscard]] status_t FindInt64(const char* name, int64* value) const;
	[[nodiscard]] status_t FindUInt64(const char* name, int32 index, uint64* value) const;
	[[nodiscard]] status_t FindUInt64(const char* name, uint64* value) const;
	[[nodiscard]] status_t FindFloat(const char* name, int32 index, float* value) const;
	[[nodiscard]] status_t FindFloat(const char* name, float* value) const;
	[[nodiscard]] status_t FindDouble(const char* name, int32 index, double* value) const;
	[[nodiscard]] status_t FindDouble(const char* name, double* value) const;
	[[nodiscard]] status_t FindString(const char* name, int32 index, const char** value) const;
	[[nodiscard]] status_t FindString(const char* name, const char** value) const;
	[[nodiscard]] status_t FindString(const char* name, int32 index, std::string* value) const;
	[[nodiscard]] status_t FindString(const char* name, std::string* value) const;
	[[nodiscard]] status_t FindRect(const char* name, int32 index, BRect* value) const;
	[[nodiscard]] status_t FindRect(const char* name, BRect* value) const;
	[[nodiscard]] status_t FindPoint(const char* name, int32 index, BPoint* value) const;
	[[nodiscard]] status_t FindPoint(const char* name, BPoint* value) const;
	[[nodiscard]] status_t FindPointer(const char* name, int32 index, void** value) const;
	[[nodiscard]] status_t FindPointer(const char* name, void** value) const;
	[[nodiscard]] status_t FindMessenger(const char* name, int32 index, BMessenger* value) const;
	[[nodiscard]] status_t FindMessenger(const char* name, BMessenger* value) const;
	[[nodiscard]] status_t FindRef(const char* name, int32 index, entry_ref* ref) const;
	[[nodiscard]] status_t FindRef(const char* name, entry_ref* ref) const;
	[[nodiscard]] status_t FindMessage(const char* name, int32 index, BMessage* message) const;
	[[nodiscard]] status_t FindMessage(const char* name, BMessage* message) const;
	[[nodiscard]] status_t FindTime(const char* name, int32 index, int32* seconds) const;
	[[nodiscard]] status_t FindTime(const char* name, int32* seconds) const;

	// A value or the default when it is missing or of another type.
	bool GetBool(const char* name, bool defaultValue = false) const;
	int32 GetInt32(const char* name, int32 defaultValue) const;
	int32 GetInt32(const char* name, int32 index, int32 defaultValue) const;
	int64 GetInt64(const char* name, int64 defaultValue) const;
	const char* GetString(const char* name, const char* defaultValue = nullptr) const;
	const char* GetString(const char* name, int32 index, const char* defaultValue) const;

	// Replacing one value.
	status_t ReplaceData(const char* name, type_code type, int32 index, const void* data,
		ssize_t numBytes);
	status_t ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes);
	status_t ReplaceBool(const char* name, int32 index, bool value);
	status_t ReplaceBool(const char* name, bool value);
	status_t ReplaceInt8(const char* name, int8 value);
	status_t ReplaceInt16(const char* name, int16 value);
	status_t ReplaceInt32(const char* name, int32 index, int32 value);
	status_t ReplaceInt32(const char* name, int32 value);
	status_t ReplaceUInt32(const char* name, uint32 value);
	status_t ReplaceInt64(const char* name, int32 index, int64 value);
	status_t ReplaceInt64(const char* name, int64 value);
	status_t ReplaceFloat(const char* name, float value);
	status_t ReplaceDouble(const char* name, double value);
	status_t ReplaceString(const char* name, int32 index, const char* value);
	status_t ReplaceString(const char* name, const char* value);
	status_t ReplaceString(const char* name, const std::string& value);
	status_t ReplaceRect(const char* name, BRect value);
	status_t ReplacePoint(const char* name, BPoint value);
	status_t ReplacePointer(const char* name, const void* value);
	status_t ReplaceMessenger(const char* name, BMessenger value);
	status_t ReplaceRef(const char* name, const entry_ref* ref);
	status_t ReplaceMessage(const char* name, int32 index, const BMessage* message);
	status_t ReplaceMessage(const char* name, const BMessage* message);
	status_t ReplaceTime(const char* name, int32 seconds);

	// Replace the first value, or add it when the name is missing.
	status_t SetBool(const char* name, bool value);
	status_t SetInt32(const char* name, int32 value);
	status_t SetInt64(const char* name, int64 value);
	status_t SetRect(const char* name, BRect value);
	status_t SetString(const char* name, const char* value);
	status_t SetString(const char* name, const std::string& value);
	status_t SetMessage(const char* name, const BMessage* message);

	// Flattening.
	ssize_t FlattenedSize() const;
	[[nodiscard]] status_t Flatten(char* buffer, ssize_t size) const;
	[[nodiscard]] status_t Flatten(std::vector<char>* out) const;
	[[nodiscard]] status_t Flatten(BDataIO* stream, ssize_t* size = nullptr) const;
	[[nodiscard]] status_t Unflatten(const char* data, size_t size);
	// Reads exactly one flattened message from the stream.
	[[nodiscard]] status_t Unflatten(BDataIO* stream);

	// Replies. A message that arrived through a messenger knows where its
	// reply goes.
	bool WasDelivered() const;
	bool IsSourceWaiting() const;
	bool IsSourceRemote() const;
	bool IsReply() const;
	BMessenger ReturnAddress() const;
	[[nodiscard]] status_t SendReply(uint32 command, BHandler* replyTo = nullptr);
	[[nodiscard]] status_t SendReply(const BMessage* reply, BHandler* replyTo = nullptr,
		bigtime_t timeout = B_INFINITE_TIMEOUT);
	[[nodiscard]] status_t SendReply(const BMessage* reply, BMessenger replyTo,
		bigtime_t timeout = B_INFINITE_TIMEOUT);
	// Replies and waits for the answer to the reply.
	[[nodiscard]] status_t SendReply(uint32 command, BMessage* replyToReply);
	[[nodiscard]] status_t SendReply(const BMessage* reply, BMessage* replyToReply,
		bigtime_t sendTimeout = B_INFINITE_TIMEOUT,
		bigtime_t replyTimeout = B_INFINITE_TIMEOUT);

private:
	friend struct MorvaneKit::MessageAccess;

	struct Field;
	struct Delivery;

	Field* _FindField(const char* name);
	const Field* _FindField(const char* name) const;
	[[nodiscard]] status_t _FindField(const char* name, type_code type, const Field** field) const;
	[[nodiscard]] status_t _FindField(const char* name, type_code type, Field** field);
	status_t _StoreItem(const char* name, type_code type, const void* data, size_t size,
		bool isFixedSize);
	status_t _OverwriteItem(const char* name, type_code type, int32 index, const void* data,
		size_t size);
	[[nodiscard]] status_t _AddItem(const char* name, type_code type, const void* data, size_t size,
		bool isFixedSize);
	[[nodiscard]] status_t _ReplaceItem(const char* name, type_code type, int32 index, const void* data,
		size_t size);
	[[nodiscard]] status_t _SetItem(const char* name, type_code type, const void* data, size_t size,
		bool isFixedSize);
	template<typename T> status_t _FindFixed(const char* name, type_code type, int32 index,
		T* value) const;
	template<typename T> status_t _FindDecoded(const char* name, type_code type, int32 index,
		T* value, T (*decode)(const char*)) const;
	[[nodiscard]] status_t _SendNoReply();
	[[nodiscard]] status_t _TakeReplyTarget(BMessenger* target);
	void _CopyContent(const BMessage& other);

	// Records the failure of a builder call and passes it on.
	status_t _Built(status_t status);

	std::vector<Field> fFields;
	status_t fBuildError = B_OK;
	mutable int32 fLastField = -1;
	std::unique_ptr<Delivery> fDelivery;
};
