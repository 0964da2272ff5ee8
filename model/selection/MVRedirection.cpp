#include "MVRedirection.h"

#include "MVSelection.h"


void MVRedirection::SetTo(const BMessage* redirection)
{
	fLines = redirection != nullptr ? *redirection : BMessage();
	fLines.RemoveName(MVSelection::kField);
	Rewind();
}


void MVRedirection::Rewind()
{
	fIndex = -1;
	fLine.Unset();
	fRedirect.clear();
}


bool MVRedirection::NextLine()
{
	const char* redirect = nullptr;
	while (fLines.FindString(kRedirectField, fIndex + 1, &redirect) == B_OK) {
		fIndex++;
		const char* source = nullptr;
		if (fLines.FindString(kSourceField, fIndex, &source) != B_OK)
			break;
		fLine.SetTo(source, MVSelectionLine::kRedirectWord);
		if (fLine.IsValid()) {
			fRedirect = redirect;
			return true;
		}
	}
	// A source missing beside a redirect ends the list too; stay at the end.
	fLine.Unset();
	fRedirect.clear();
	fIndex = INT32_MAX - 1;
	return false;
}


const char* MVRedirection::Redirection() const
{
	if (!fLine.IsValid() || fRedirect.empty())
		return nullptr;
	return fRedirect.c_str();
}
