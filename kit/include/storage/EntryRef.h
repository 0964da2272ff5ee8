#pragma once

// An entry_ref names a file-system entry by its path in the system's form,
// "/<volume>/folder/name" (see VolumeTable). It does not keep the entry alive
// and the entry need not exist. Refs travel in messages, so they never hold a
// native path.

#include <string>

#include <support/SupportDefs.h>

struct entry_ref {
	entry_ref() = default;
	explicit entry_ref(std::string entryPath) : path(std::move(entryPath)) {}

	// The leaf name: the text after the last '/', empty for no path.
	const char* name() const;
	// Replaces the leaf name, keeping the folder.
	void set_name(const char* leaf);
	bool IsValid() const { return !path.empty(); }

	bool operator==(const entry_ref& other) const { return path == other.path; }
	bool operator!=(const entry_ref& other) const { return path != other.path; }
	bool operator<(const entry_ref& other) const { return path < other.path; }

	std::string path;
};
