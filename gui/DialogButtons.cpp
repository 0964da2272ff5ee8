#include "DialogButtons.h"

#include <app/Message.h>
#include <interface/Box.h>
#include <interface/Button.h>
#include <interface/Window.h>

#include "GuiTexts.h"

void AddDialogButtons(BView* background)
{
	BRect bounds = background->Bounds();
	float bottom = bounds.bottom;
	float width = bounds.Width();
	background->AddChild(new BBox(BRect(0, bottom - 40, width, bottom - 40), nullptr,
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM));
	auto* ok = new BButton(BRect(10, bottom - 30, width / 2 - 10, bottom - 8), "btn_ok",
		GuiText(kTextOk), new BMessage(kCmdDialogOk), B_FOLLOW_LEFT | B_FOLLOW_BOTTOM);
	background->AddChild(ok);
	background->AddChild(new BButton(BRect(width / 2 + 10, bottom - 30, width - 10, bottom - 8),
		"btn_cancel", GuiText(kTextCancel), new BMessage(B_QUIT_REQUESTED),
		B_FOLLOW_H_CENTER | B_FOLLOW_BOTTOM));
	if (background->Window() != nullptr)
		background->Window()->SetDefaultButton(ok);
}
