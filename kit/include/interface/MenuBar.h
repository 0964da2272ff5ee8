#pragma once

// BMenuBar: the row of menus across the top of a window.

#include <interface/Menu.h>
#include <interface/View.h>

class BMenuBar : public BView, public BMenu {
public:
	BMenuBar(BRect frame, const char* name,
		uint32 resizingMode = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	void AttachedToWindow() override;
	// The height the bar needs.
	float PreferredHeight() const;
};
