#pragma once

// BSymLink: a symbolic link itself (never followed).
//
// The link text is returned exactly as stored, byte for byte, so that a
// backup restores it unchanged; an absolute text is a native path of this
// machine. MakeLinkedPath turns the text into a system path: a relative text
// is read against a folder (by default the link's own), an absolute one is
// translated through the volume table and gives B_ENTRY_NOT_FOUND when it
// lies on no volume.

#include <string>

#include <storage/Node.h>

class BPath;

class BSymLink : public BNode {
public:
	BSymLink() = default;
	explicit BSymLink(const char* path);
	explicit BSymLink(const entry_ref* ref);
	explicit BSymLink(const BEntry* entry);
	BSymLink(const BDirectory* directory, const char* path);

	// B_BAD_VALUE when the entry is not a symbolic link.
	[[nodiscard]] status_t SetTo(const char* path);
	[[nodiscard]] status_t SetTo(const entry_ref* ref);
	[[nodiscard]] status_t SetTo(const BEntry* entry);
	[[nodiscard]] status_t SetTo(const BDirectory* directory, const char* path);

	// Copies the text, NUL-terminated and cut to size - 1 bytes; returns
	// the full length of the text or an error.
	[[nodiscard]] ssize_t ReadLink(char* buffer, size_t size);
	[[nodiscard]] status_t ReadLink(std::string* text);
	// The path the link names, as a system path; returns its length or an
	// error.
	[[nodiscard]] ssize_t MakeLinkedPath(const char* folderPath, BPath* path);
	[[nodiscard]] ssize_t MakeLinkedPath(const BDirectory* folder, BPath* path);
	[[nodiscard]] ssize_t MakeLinkedPath(BPath* path);
	bool IsAbsolute();

private:
	friend class BDirectory;

	[[nodiscard]] status_t _CheckIsLink();
};
