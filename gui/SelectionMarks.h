#pragma once

// SelectionMarks: the folders and files the user marked in the source tree,
// by path ("/boot/home/x"). A mark includes or excludes an entry with
// everything below it; an entry without a mark follows its nearest marked
// ancestor. The marks turn into selection lines and back.

#include <map>
#include <string>

#include <app/Message.h>

class SelectionMarks {
public:
	enum Mark : int32 {
		kUnmarked = 0,
		kIncluded = 1,
		kExcluded = 2,
	};

	// kUnmarked removes the path's own mark.
	void Set(const std::string& path, Mark mark, bool directory);
	void Clear() { fMarks.clear(); }
	// The path's own mark.
	Mark MarkOf(const std::string& path) const;
	// The path's own mark, or the one it inherits.
	Mark Effective(const std::string& path) const;
	bool AnyIncluded() const;

	// Replaces the message's "SELECTION" lines: shallow paths before deep
	// ones, so a mark inside a marked folder overrides the folder's.
	void WriteLines(BMessage* selection) const;
	// Takes the marks from the lines, in their order: a later line for a
	// folder undoes the marks below it, as it does when the lines are
	// applied. Lines of another kind are skipped.
	void ReadLines(const BMessage& selection);

private:
	struct Entry {
		Mark mark;
		bool directory;
	};

	void _DropBelow(const std::string& path);

	std::map<std::string, Entry> fMarks;
};
