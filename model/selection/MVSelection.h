#pragma once

// MVSelection reads the lines of a selection message: the strings of its
// "SELECTION" field in index order, each "INCLUDE " or "EXCLUDE " followed
// by a path that ends in "/*" for a folder with all its contents (see
// MVSelectionLine). Other fields are ignored. Lines without a usable path
// are skipped.
//
// SetTo() copies the lines, so the message need not outlive the reader.
// Used by one thread at a time.

#include <app/Message.h>

#include "MVSelectionLine.h"

class MVSelection {
public:
	static constexpr const char* kField = "SELECTION";

	MVSelection() = default;
	explicit MVSelection(const BMessage* selection) { SetTo(selection); }

	// Takes the lines of selection (none for null) and rewinds.
	void SetTo(const BMessage* selection);
	// Goes back before the first line.
	void Rewind();
	// Moves to the next line; false after the last.
	bool NextLine();

	bool IsLineInclude() const { return fLine.IsInclude(); }
	bool IsLineDirectory() const { return fLine.IsDirectory(); }
	// The current line's path, "" before the first line and after the last.
	const char* Path() const { return fLine.Path().c_str(); }

private:
	BMessage fLines;
	int32 fIndex = -1;
	MVSelectionLine fLine;
};
