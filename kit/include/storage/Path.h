#pragma once

// BPath: a system path ("/<volume>/..."), as text.
//
// Paths are always absolute and normalised lexically: "//" and "." are
// dropped and ".." removes the component before it; a ".." that would leave
// its volume, a relative path or an empty one is B_BAD_VALUE. With
// normalize, the path must also name a known volume (else
// B_ENTRY_NOT_FOUND), and the boot volume's name becomes "/boot", the
// canonical form; without it, no lookup is made and the path need not exist.
//
// A BPath is a value, used by one thread at a time.

#include <string>

#include <storage/EntryRef.h>
#include <storage/StorageDefs.h>
#include <support/Errors.h>

class BDirectory;
class BEntry;

class BPath {
public:
	BPath() = default;
	explicit BPath(const char* path, const char* leaf = nullptr, bool normalize = false);
	BPath(const BDirectory* directory, const char* leaf, bool normalize = false);
	explicit BPath(const entry_ref* ref);
	explicit BPath(const BEntry* entry);

	// leaf, when given, is appended (it must be relative).
	[[nodiscard]] status_t SetTo(const char* path, const char* leaf = nullptr,
		bool normalize = false);
	[[nodiscard]] status_t SetTo(const BDirectory* directory, const char* leaf,
		bool normalize = false);
	[[nodiscard]] status_t SetTo(const entry_ref* ref);
	[[nodiscard]] status_t SetTo(const BEntry* entry);
	void Unset();
	[[nodiscard]] status_t InitCheck() const { return fStatus; }

	// The path, or null when not initialised.
	const char* Path() const;
	// The last component; "" for "/", null when not initialised.
	const char* Leaf() const;
	// The path without its last component; B_ENTRY_NOT_FOUND for "/".
	[[nodiscard]] status_t GetParent(BPath* parent) const;
	// Appends a relative path (B_BAD_VALUE for an absolute one).
	[[nodiscard]] status_t Append(const char* path, bool normalize = false);

	bool operator==(const BPath& other) const;
	bool operator!=(const BPath& other) const { return !(*this == other); }
	bool operator==(const char* path) const;
	bool operator!=(const char* path) const { return !(*this == path); }

private:
	std::string fPath;
	status_t fStatus = B_NO_INIT;
};
