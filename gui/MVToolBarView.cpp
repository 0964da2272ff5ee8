#include "MVToolBarView.h"

#include <algorithm>

#include <app/Message.h>
#include <interface/PictureButton.h>

#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "ToolIcons.h"
#include "ToolTable.h"

namespace {

struct ButtonSize {
	float width;
	float height;
	picture_button_layout layout;
};

ButtonSize SizeFor(uint32 mode)
{
	switch (mode) {
		case kCmdToolbarIconOnly:
			return {32, 32, B_PICTURE_ONLY};
		case kCmdToolbarTextOnly:
			return {100, 32, B_TEXT_ONLY};
		case kCmdToolbarIconAboveText:
			return {50, 80, B_PICTURE_ABOVE_TEXT};
		default:
			return {105, 32, B_PICTURE_BESIDE_TEXT};
	}
}

}	// namespace


MVToolBarView::MVToolBarView(BRect frame, uint32 mode)
	:
	BView(frame, "MV_TOOLBAR", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, B_WILL_DRAW),
	fMode(mode)
{
	ButtonSize size = SizeFor(mode);
	float iconSize = mode == kCmdToolbarIconAboveText ? 40 : 24;
	float left = 4;
	for (const ToolEntry& button : kToolTable) {
		BPicture icon = ToolIcons::ForTool(button.kind, iconSize);
		// Wide enough for the label in this language.
		float width = size.width;
		if (size.layout == B_TEXT_ONLY || size.layout == B_PICTURE_BESIDE_TEXT) {
			float extra = size.layout == B_TEXT_ONLY ? 16 : iconSize + 20;
			width = std::max(width, StringWidth(GuiText(button.text)) + extra);
		}
		BRect buttonFrame(left, 3, left + width - 1, 3 + size.height - 1);
		auto* picture = new BPictureButton(buttonFrame, button.buttonName, &icon,
			GuiText(button.text), new BMessage(button.command), size.layout);
		picture->SetToolTip(GuiText(button.text));
		AddChild(picture);
		left += width + 3;
	}
	fWidth = left + 1;
}


float MVToolBarView::HeightFor(uint32 mode)
{
	if (mode == kCmdToolbarNone)
		return 0;
	return SizeFor(mode).height + 6;
}
