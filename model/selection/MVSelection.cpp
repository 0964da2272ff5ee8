#include "MVSelection.h"


void MVSelection::SetTo(const BMessage* selection)
{
	fLines.MakeEmpty();
	int32 count = 0;
	type_code type;
	if (selection != nullptr && selection->GetInfo(kField, &type, &count) == B_OK
		&& type == B_STRING_TYPE) {
		for (int32 index = 0; index < count; index++) {
			const char* line = nullptr;
			if (selection->FindString(kField, index, &line) == B_OK)
				fLines.AddString(kField, line);
		}
	}
	Rewind();
}


void MVSelection::Rewind()
{
	fIndex = -1;
	fLine.Unset();
}


bool MVSelection::NextLine()
{
	const char* line = nullptr;
	while (fLines.FindString(kField, fIndex + 1, &line) == B_OK) {
		fIndex++;
		fLine.SetTo(line);
		if (fLine.IsValid())
			return true;
	}
	fLine.Unset();
	return false;
}
