#pragma once

// Builds a backup job's selection from the native paths a user names: each
// path is made absolute (against the current folder), translated into the
// system's "/<volume>/..." form through the VolumeTable, and becomes an
// "INCLUDE " line, with "/*" for a folder so that its contents come along.
// Excluded paths become "EXCLUDE " lines. A value object; not locked.

#include <string>
#include <vector>

#include <app/Message.h>

class SelectionBuilder {
public:
	// The path must exist (a symbolic link counts as itself, not its
	// target). False with *error set otherwise.
	bool Include(const std::string& nativePath, std::string* error);
	// The path need not exist, but must lie on a volume.
	bool Exclude(const std::string& nativePath, std::string* error);

	const std::vector<std::string>& Lines() const { return fLines; }
	// "SELECTION": the lines in the order they were added.
	void Fill(BMessage* selection) const;

	// An absolute, lexically cleaned native path; relative paths are taken
	// against the current folder. False for an empty path.
	static bool Absolute(const std::string& path, std::string* absolute);
	// The system path of a native one; false with *error set.
	static bool ToSystem(const std::string& nativePath, std::string* systemPath,
		std::string* error);

private:
	std::vector<std::string> fLines;
};
