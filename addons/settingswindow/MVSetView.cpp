#include "MVSetView.h"

#include <app/AppDefs.h>
#include <interface/Font.h>
#include <interface/Window.h>

MVSetView::MVSetView(BRect frame)
	:
	BView(frame, kName, B_FOLLOW_ALL_SIDES, B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE)
{
}


void MVSetView::AttachedToWindow()
{
	SetViewColor(232, 232, 232);
	BFont font(*be_bold_font);
	font.SetSize(12);
	SetFont(&font);
	MakeFocus(true);
}


void MVSetView::KeyDown(const char* bytes, int32 numBytes)
{
	if (numBytes == 1 && bytes[0] == B_ESCAPE && Window() != nullptr) {
		(void)Window()->PostMessage(B_QUIT_REQUESTED);
		return;
	}
	BView::KeyDown(bytes, numBytes);
}
