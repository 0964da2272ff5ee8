#pragma once

// BStringItem: a list item that shows one line of text. SetText() shows the
// new text at once; BListView::InvalidateItem() is needed only after changes
// the item does not see.

#include <string>

#include <interface/ListItem.h>

class BStringItem : public BListItem {
public:
	explicit BStringItem(const char* text);

	void SetText(const char* text);
	const char* Text() const { return fText.c_str(); }
	const char* DisplayText() const override { return fText.c_str(); }

private:
	std::string fText;
};
