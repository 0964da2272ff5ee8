#include "MVRecordList.h"

#include "MVSelection.h"


void MVRecordList::SetTo(const BMessage* selection)
{
	fLines.MakeEmpty();
	int32 count = 0;
	type_code type;
	if (selection != nullptr && selection->GetInfo(MVSelection::kField, &type, &count) == B_OK
		&& type == B_STRING_TYPE) {
		for (int32 index = 0; index < count; index++) {
			const char* line = nullptr;
			if (selection->FindString(MVSelection::kField, index, &line) == B_OK)
				fLines.AddString(MVSelection::kField, line);
		}
	}
	Rewind();
}


void MVRecordList::Rewind()
{
	fIndex = -1;
	fLine.Unset();
	fTokens.SetTo(std::string_view());
}


bool MVRecordList::NextLine()
{
	const char* line = nullptr;
	while (fLines.FindString(MVSelection::kField, fIndex + 1, &line) == B_OK) {
		fIndex++;
		fLine.SetTo(line);
		if (fLine.IsValid()) {
			fTokens.SetTo(fLine.Path());
			return true;
		}
	}
	fLine.Unset();
	fTokens.SetTo(std::string_view());
	return false;
}


const char* MVRecordList::NextLineToken()
{
	std::string_view component;
	if (!fTokens.Next(&component))
		return nullptr;
	fToken.assign(component);
	return fToken.c_str();
}
