#include "MVStartView.h"

#include "ToolIcons.h"

MVStartView::MVStartView(BRect frame)
	:
	BView(frame, "MV_WORK_VIEW", B_FOLLOW_ALL, B_WILL_DRAW | B_FRAME_EVENTS)
{
	SetViewColor(make_color(246, 246, 246));
}


void MVStartView::Draw(BRect updateRect)
{
	BRect bounds = Bounds();
	float middle = bounds.Width() / 2;
	BPicture logo = ToolIcons::Logo(96);
	DrawPicture(&logo, BPoint(middle - 48, 30));
	BFont title(*be_bold_font);
	title.SetSize(22);
	SetFont(&title);
	SetHighColor(make_color(40, 60, 100));
	const char* name = "Morvane Backup";
	DrawString(name, BPoint(middle - StringWidth(name) / 2, 160));
	SetFont(be_plain_font);
	SetHighColor(make_color(80, 80, 80));
	const char* hint = "Choose a tool from the tool bar or the Tools menu.";
	DrawString(hint, BPoint(middle - StringWidth(hint) / 2, 190));
}
