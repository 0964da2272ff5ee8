#pragma once

// MVStartView: what the main window shows before a tool is chosen: the
// program's name and a word on how to begin.

#include <interface/View.h>

class MVStartView : public BView {
public:
	explicit MVStartView(BRect frame);
	void Draw(BRect updateRect) override;
};
