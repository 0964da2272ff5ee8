#pragma once

// MVTreeEntry: what one node of an MVTreeList describes, here just a name
// and the folder a restore redirects the entry to. Subclasses add what
// their source knows (a catalogue entry, for one) and override the virtual
// calls. The tree that holds an entry owns it.

#include <string>

class MVTreeEntry {
public:
	MVTreeEntry() = default;
	explicit MVTreeEntry(const char* path) { (void)SetTo(path); }
	virtual ~MVTreeEntry();

	// Takes the last component of path as the name; false when it has none.
	virtual bool SetTo(const std::string& path);
	virtual const char* Name() const { return fName.c_str(); }
	virtual void GetName(std::string* name) const { *name = fName; }
	// A plain entry knows no type and reports no folder.
	virtual bool IsDirectory() const { return false; }

	// The target folder, "" when the entry is not redirected.
	const char* Redirection() const { return fRedirection.c_str(); }
	bool HasRedirection() const { return !fRedirection.empty(); }
	// Sets the target folder; null or "" clears it.
	void SetRedirection(const char* redirection);

protected:
	std::string fName;
	std::string fRedirection;
};
