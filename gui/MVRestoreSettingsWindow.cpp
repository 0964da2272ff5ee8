#include "MVRestoreSettingsWindow.h"

#include <interface/CheckBox.h>

#include "DialogButtons.h"
#include "GuiTexts.h"
#include "MVRestoreOptionsView.h"

namespace {

constexpr float kWidth = 340;

}	// namespace


MVRestoreSettingsWindow::MVRestoreSettingsWindow(BPoint where, const BMessage& options,
	BMessenger target)
	:
	MVDialogWindow(BRect(where.x, where.y, where.x + kWidth, where.y + 200),
		GuiText(kTextRestoreSettings), options, kMsgRestoreSettingsReply, target)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	fOptions = new MVRestoreOptionsView(BRect(10, 10, kWidth - 10, 114), options);
	background->AddChild(fOptions);
	fDivert = new BCheckBox(BRect(10, 116, kWidth - 10, 136), "chk_divert",
		GuiText(kTextShowPathlist), nullptr);
	fDivert->SetValue(options.GetInt32("divert", 0) != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
	background->AddChild(fDivert);
	AddDialogButtons(background);
}


void MVRestoreSettingsWindow::MessageReceived(BMessage* message)
{
	if (message->what != kCmdDialogOk) {
		MVDialogWindow::MessageReceived(message);
		return;
	}
	fOptions->GetOptions(&Settings());
	(void)Settings().SetInt32("divert", fDivert->Value() == B_CONTROL_ON ? 1 : 0);
	Confirm();
}
