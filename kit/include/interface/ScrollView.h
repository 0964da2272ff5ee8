#pragma once

// BScrollView: a frame around a target view, with scroll bars.
//
// The scroll view takes the place of the target: its frame is the target's
// frame grown by the border, and it becomes the target's parent. Views that
// scroll themselves (BTextView, BListView, BColumnListView) are only framed
// and kept filling the scroll view inside the border; their scroll bars
// follow horizontal and vertical (a requested bar shows when the content
// does not fit, one not requested never shows). A plain view is put in a
// scrolled area: its frame is then in the area's content coordinates, its
// size is the size scrolled over, and along a direction without a scroll
// bar it is kept as wide (high) as the area.

#include <interface/View.h>

class QFrame;
class QScrollArea;

class BScrollView : public BView {
public:
	BScrollView(const char* name, BView* target,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = 0,
		bool horizontal = false, bool vertical = false,
		border_style border = B_FANCY_BORDER);
	~BScrollView() override;

	// The view scrolled, or null once it left the scroll view.
	BView* Target() const;
	void SetBorder(border_style border);
	border_style Border() const { return fBorder; }
	bool HasHorizontalScrollBar() const { return fHorizontal; }
	bool HasVerticalScrollBar() const { return fVertical; }
	// The border's width on each side.
	float BorderWidth() const;

protected:
	void _FrameChanged() override;

private:
	void _ApplyScrollBars();
	void _Layout();

	QFrame* fFrameWidget;
	QScrollArea* fScrollArea = nullptr;
	BView* fTarget;
	bool fHorizontal;
	bool fVertical;
	border_style fBorder;
};
