#include "MVCompareSettingsWindow.h"

#include <interface/CheckBox.h>
#include <interface/StringView.h>

#include "DialogButtons.h"
#include "GuiTexts.h"

namespace {

constexpr uint32 kCmdCompareAll = 'cmal';
constexpr float kWidth = 300;

}	// namespace


const char* const MVCompareSettingsWindow::kItemKeys[kItemCount] = {"compareall", "filedata",
	"attribute", "size", "mdate", "cdate", "symlinkdata", "permissions", "uid", "gid"};


MVCompareSettingsWindow::MVCompareSettingsWindow(BPoint where, const BMessage& items,
	BMessenger target)
	:
	MVDialogWindow(BRect(where.x, where.y, where.x + kWidth, where.y + 340),
		GuiText(kTextCompareSettings), items, kMsgCompareSettingsReply, target)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	background->AddChild(new BStringView(BRect(10, 10, kWidth - 10, 28), "str_items",
		GuiText(kTextItemsToCompare)));
	float top = 34;
	for (int32 index = 0; index < kItemCount; index++) {
		// The single items sit below "Compare all", set in a little.
		float left = index == 0 ? 10 : 30;
		auto* box = new BCheckBox(BRect(left, top, kWidth - 10, top + 20), kItemKeys[index],
			GuiText(kTextCompareAll + index),
			index == 0 ? new BMessage(kCmdCompareAll) : nullptr);
		box->SetValue(items.GetInt32(kItemKeys[index], 0) != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
		background->AddChild(box);
		top += 24;
	}
	AddDialogButtons(background);
	_EnableSingleItems();
}


void MVCompareSettingsWindow::_EnableSingleItems()
{
	bool all = static_cast<BCheckBox*>(FindView(kItemKeys[0]))->Value() == B_CONTROL_ON;
	for (int32 index = 1; index < kItemCount; index++)
		static_cast<BCheckBox*>(FindView(kItemKeys[index]))->SetEnabled(!all);
}


void MVCompareSettingsWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdCompareAll:
			_EnableSingleItems();
			break;
		case kCmdDialogOk:
			for (const char* key : kItemKeys) {
				auto* box = static_cast<BCheckBox*>(FindView(key));
				(void)Settings().SetInt32(key, box->Value() == B_CONTROL_ON ? 1 : 0);
			}
			Confirm();
			break;
		default:
			MVDialogWindow::MessageReceived(message);
			break;
	}
}
