#pragma once

// BBox: a frame around a group of views, with an optional label in its top
// edge; a box of height 1 is a separator line.

#include <string>

#include <interface/View.h>

class BBox : public BView {
public:
	BBox(BRect frame, const char* name = nullptr,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE_JUMP,
		border_style border = B_FANCY_BORDER);

	void SetLabel(const char* label);
	const char* Label() const { return fLabel.c_str(); }
	void SetBorder(border_style border);
	border_style Border() const { return fBorder; }
	void Draw(BRect updateRect) override;

private:
	std::string fLabel;
	border_style fBorder;
};
