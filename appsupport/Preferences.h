#pragma once

// Preferences: a small persistent key-value store bound to one file.
//
// The store is a BMessage whose fields are the stored values, one value and
// one type per key. It is not locked: one thread (the owner's looper or
// application thread) uses it. The file is opened only for the length of one
// Load() or Save(); changes are never saved implicitly. Paths are system
// paths ("/<volume>/...").
//
// Every operation that touches the file or the store's identity leaves its
// result in the status that InitCheck() returns; the values are the k*
// constants below, not kit status codes. After kBadContent the store is
// empty and every Get returns its default.
//
// File layout (docs/preferences-format.md):
//
//   offset  size  content
//   0       8     identifier of the store, e.g. "MVBACKUP", no terminator
//   8       92    zero bytes
//   100     rest  the fields, one flattened BMessage (docs/message-format.md)
//
// A file is read as untrusted input: a short header, another store's
// identifier, a body that does not unflatten or bytes after the body make it
// unusable. Save() replaces the file as a whole through AtomicFileWriter, so
// a crash leaves either the old or the new file.

#include <string>

#include <app/Message.h>
#include <interface/GraphicsDefs.h>
#include <interface/Rect.h>
#include <support/DataIO.h>

class Preferences : public BMessage {
public:
	static constexpr int32 kOK = 0;
	// No memory, or a bad name or identifier at construction.
	static constexpr int32 kNoMemory = 1;
	// Short file, another store's identifier or an unreadable body.
	static constexpr int32 kBadContent = 2;
	static constexpr int32 kWriteError = 4;
	static constexpr int32 kNoFileName = 10;
	static constexpr int32 kCannotOpen = 11;

	static constexpr size_t kHeaderSize = 100;
	static constexpr size_t kIdentifierLength = 8;

	// Takes the file path and the 8-character identifier. Then it reads the
	// file; a missing file gives the Reset() defaults. When the path or the
	// identifier is refused the status is kNoMemory, the store is empty and
	// no file is touched. A file that exists but cannot be opened gives the
	// defaults with status kCannotOpen, so that the owner knows not to take
	// them for the user's settings.
	Preferences(const char* path, const char* identifier);
	~Preferences() override;
	Preferences(const Preferences&) = delete;
	Preferences& operator=(const Preferences&) = delete;

	[[nodiscard]] int32 InitCheck() const { return fStatus; }

	// kNoFileName, kCannotOpen (fields unchanged), or the result of LoadData.
	[[nodiscard]] int32 Load();
	// kNoFileName; kCannotOpen when the file cannot be written (a read-only
	// file or volume, a missing folder); else the result of SaveData, or
	// kWriteError when the new file cannot be put in place. A failed save
	// leaves the old file as it was.
	[[nodiscard]] int32 Save();
	// Removes every field and sets the defaults: "MV_LANGUAGE" "English",
	// "MV_AUTOPREFS" int8 1, "MV_MAINWINPOS" rect 0,0,0,0.
	int32 Reset();

	// kNoMemory for a null path or no memory; the old name stays then. An
	// empty name makes Load() and Save() answer kNoFileName.
	[[nodiscard]] int32 SetName(const char* path);
	// kNoMemory unless the identifier is exactly 8 characters; the old one
	// stays then. A store that never got a valid identifier answers every
	// Load() and Save() with kNoMemory, as it could read no file and write
	// none that a store reads back.
	[[nodiscard]] int32 SetKennung(const char* identifier);
	const char* Name() const { return fName.c_str(); }

	// Reads a whole file from its start: the header, then exactly one
	// flattened message. kOK, kNoMemory or kBadContent; on an error the
	// store is empty. An "MV_LANGUAGE" of type int8 (an older layout) is
	// dropped so that readers fall back to their default.
	[[nodiscard]] int32 LoadData(BPositionIO* file);
	// Writes the header and the fields from the file's start: kOK, kNoMemory
	// or kWriteError.
	[[nodiscard]] int32 SaveData(BPositionIO* file);
	void FreeData();

	// Adds the value when the key has no field, replaces the first value
	// when it has one of the same type, and fails with B_BAD_TYPE, leaving
	// the stored value alone, when the key holds another type. B_BAD_VALUE
	// for a null key or string.
	[[nodiscard]] status_t Set(const char* key, int8 value);
	[[nodiscard]] status_t Set(const char* key, int16 value);
	[[nodiscard]] status_t Set(const char* key, int32 value);
	[[nodiscard]] status_t Set(const char* key, int64 value);
	[[nodiscard]] status_t Set(const char* key, float value);
	[[nodiscard]] status_t Set(const char* key, const char* value);
	[[nodiscard]] status_t Set(const char* key, const std::string& value);
	[[nodiscard]] status_t Set(const char* key, BRect value);
	[[nodiscard]] status_t Set(const char* key, const BMessage& value);
	[[nodiscard]] status_t Set(const char* key, rgb_color value);

	// The stored value of that type, or the default when the key is missing
	// or holds another type. GetString's pointer is valid until the store
	// changes.
	int8 GetInt8(const char* key, int8 defaultValue) const;
	int16 GetInt16(const char* key, int16 defaultValue) const;
	int32 GetInt32(const char* key, int32 defaultValue) const;
	int64 GetInt64(const char* key, int64 defaultValue) const;
	float GetFloat(const char* key, float defaultValue) const;
	const char* GetString(const char* key, const char* defaultValue) const;
	BRect GetRect(const char* key, BRect defaultValue) const;
	// The stored rectangle, or 0,0,0,0.
	BRect GetRect(const char* key) const;
	rgb_color GetColor(const char* key, rgb_color defaultValue) const;
	// A new copy of the stored message that the caller owns, or, when there
	// is none, defaultValue itself (which stays the caller's as before).
	BMessage* GetMessage(const char* key, BMessage* defaultValue) const;
	// The stored message, or an empty one.
	BMessage GetMessageData(const char* key) const;

private:
	template<typename AddFunction, typename ReplaceFunction>
	[[nodiscard]] status_t _Set(const char* key, type_code type, AddFunction add, ReplaceFunction replace);
	int32 _ReadBody(BPositionIO* file);
	bool _IsWritableOrMissing() const;

	std::string fName;
	char fKennung[kIdentifierLength] = {};
	bool fHasKennung = false;
	int32 fStatus = kOK;
};
