#pragma once

// MVToolBarView: the row of picture buttons below the menu bar, one per
// tool, in one of the tool-bar modes.

#include <interface/View.h>

class MVToolBarView : public BView {
public:
	// mode: one of the tool-bar commands other than "none".
	MVToolBarView(BRect frame, uint32 mode);
	uint32 Mode() const { return fMode; }
	// The width the buttons take.
	float ButtonsWidth() const { return fWidth; }
	// The height the bar takes in that mode; 0 for none.
	static float HeightFor(uint32 mode);

private:
	uint32 fMode;
	float fWidth = 0;
};
