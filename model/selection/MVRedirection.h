#pragma once

// MVRedirection reads the redirections of a restore job: pairs of strings at
// the same index of the fields "source" and "redirect". A source is
// "REDIREC " (an active redirection) or "CLEAR   " (a cleared one) followed
// by the path of a selected entry, ending in "/*" for a folder; the
// redirect is the folder the entry goes to. Pairs whose source has no
// usable path are skipped.
//
// SetTo() copies the message without its "SELECTION" field, which belongs
// to the selection readers; the caller's message is not changed. Pointers
// it returns stay valid until the next call that moves it. Used by one
// thread at a time.

#include <string>

#include <app/Message.h>

#include "MVSelectionLine.h"

class MVRedirection {
public:
	static constexpr const char* kSourceField = "source";
	static constexpr const char* kRedirectField = "redirect";

	MVRedirection() = default;
	explicit MVRedirection(const BMessage* redirection) { SetTo(redirection); }

	void SetTo(const BMessage* redirection);
	void Rewind();
	// Moves to the next pair; false when no "redirect" string exists at the
	// next index.
	bool NextLine();

	bool IsLineInclude() const { return fLine.IsInclude(); }
	bool IsLineDirectory() const { return fLine.IsDirectory(); }
	// The current source path; "" when there is no current pair.
	const char* Source() const { return fLine.Path().c_str(); }
	// The target folder, or null when the redirect string is empty.
	const char* Redirection() const;

private:
	BMessage fLines;
	int32 fIndex = -1;
	MVSelectionLine fLine;
	std::string fRedirect;
};
