#pragma once

// BStringView: a line of text that the user does not edit.

#include <interface/View.h>

class QLabel;

class BStringView : public BView {
public:
	BStringView(BRect frame, const char* name, const char* text,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW);

	void SetText(const char* text);
	const char* Text() const { return fText.c_str(); }
	void SetAlignment(alignment flag);
	alignment Alignment() const { return fAlignment; }
	void SetFont(const BFont* font) override;
	void SetTextColor(rgb_color color);

private:
	QLabel* fLabel;
	std::string fText;
	alignment fAlignment = B_ALIGN_LEFT;
};
