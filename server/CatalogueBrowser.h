#pragma once

// CatalogueBrowser: turns the entries of one catalogue message
// (CatalogueFormat.h) into the browse entries clients see when they walk a
// backup as a tree of folders and files. It reads the catalogue it is given
// and never changes it; the catalogue must outlive the browser. Used on one
// thread at a time.
//
// A catalogue comes from a file and is untrusted: entries exist only up to
// the shortest of the parallel arrays a browse entry is made of, so arrays
// of unequal length or of the wrong type never lead outside them.
//
// A browse entry: "level" int32, "name" string (the leaf of the path),
// "type" int32, "size" int64, "date" 'TIME' 4 bytes, "medianr" int32,
// "offset" int64, "path" string (the full path), "index" int32 (the entry's
// position), and "aktfilenr" int32 when the catalogue numbers its entries.

#include <string>

#include <app/Message.h>

#include "CatalogueBrowse.h"

class CatalogueBrowser {
public:
	explicit CatalogueBrowser(const BMessage& catalogue);

	int32 CountEntries() const { return fCount; }

	// Appends the browse entry of a position; false when there is none.
	bool AddEntry(int32 position, BMessage* reply) const;
	// Appends the entry that stands for the backup itself: level -1, the
	// catalogue's name, type -1, the backup's size and date, medium 1,
	// offset 0, the backup's title as path, index -1.
	void AddRootEntry(const char* catalogueName, BMessage* reply) const;

	// Browses below entryPath (the full path of an entry; empty for the
	// backup's top level), looking for it from startIndex on. An unknown
	// path adds nothing; any mode but kLogReadSubtree and kLogReadEntry
	// lists the direct children.
	void ReadDir(const char* catalogueName, const std::string& entryPath, int32 startIndex,
		int32 mode, BMessage* reply) const;

	// Splits "/<catalogue>/<entry path>" into the catalogue's name and the
	// rest from its '/' on (empty for "/<catalogue>"). False when the path
	// does not begin with '/' or names no catalogue.
	static bool SplitPath(const char* path, std::string* catalogueName,
		std::string* entryPath);

private:
	int32 _Level(int32 position) const;
	int32 _Find(const std::string& entryPath, int32 startIndex) const;
	int32 _CountEntries() const;

	const BMessage& fCatalogue;
	int32 fCount;
};
