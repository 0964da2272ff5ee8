#pragma once

// MVRecordList holds the lines of a selection message (its "SELECTION"
// strings, see MVSelectionLine) and walks them one at a time, with the
// current line's path also handed out one component at a time for building
// a tree. Lines without a usable path are skipped.
//
// SetTo() copies the lines. Pointers it returns stay valid until the next
// call that moves it. Used by one thread at a time.

#include <string>

#include <app/Message.h>

#include "MVPathSplitter.h"
#include "MVSelectionLine.h"

class MVRecordList {
public:
	MVRecordList() = default;
	MVRecordList(const MVRecordList&) = delete;
	MVRecordList& operator=(const MVRecordList&) = delete;

	void SetTo(const BMessage* selection);
	void Rewind();
	// Moves to the next line and restarts its tokens; false after the last.
	bool NextLine();

	bool IsLineInclude() const { return fLine.IsInclude(); }
	bool IsLineDirectory() const { return fLine.IsDirectory(); }
	// The current line's normalised path; "" when there is no current line.
	const char* FullPath() const { return fLine.Path().c_str(); }
	// The next component of the current line's path, or null after the last.
	const char* NextLineToken();

private:
	BMessage fLines;
	int32 fIndex = -1;
	MVSelectionLine fLine;
	MVPathSplitter fTokens;
	std::string fToken;
};
