#include "MVBackupStartWin.h"

#include <interface/CheckBox.h>
#include <interface/TextControl.h>

#include "DialogButtons.h"
#include "GuiTexts.h"

namespace {

// A password longer than this is cut: the backup header keeps no more.
constexpr int32 kMaxPasswordBytes = 32;

}	// namespace


MVBackupStartWin::MVBackupStartWin(BRect frame, const BMessage& startInfo, BMessenger target)
	:
	MVDialogWindow(frame, GuiText(kTextStartBackup), startInfo, kMsgStartWindowReply, target)
{
	float width = Bounds().Width();
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	fTitle = new BTextControl(BRect(10, 12, width - 10, 34), "txt_title", GuiText(kTextTitle),
		startInfo.GetString("title", ""), nullptr);
	fPassword = new BTextControl(BRect(10, 42, width - 10, 64), "txt_password",
		GuiText(kTextPassword), startInfo.GetString("password", ""), nullptr);
	fPassword->SetHidden(true);
	fPassword->SetMaxBytes(kMaxPasswordBytes);
	float divider = std::max(fTitle->Divider(), fPassword->Divider());
	fTitle->SetDivider(divider);
	fPassword->SetDivider(divider);
	fHold = new BCheckBox(BRect(10, 72, width - 10, 94), "chk_hold",
		GuiText(kTextSubmitOnHold), nullptr);
	fHold->SetValue(startInfo.GetInt32("submitonhold", 0) != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
	background->AddChild(fTitle);
	background->AddChild(fPassword);
	background->AddChild(fHold);
	AddDialogButtons(background);
	fTitle->MakeFocus(true);
}


void MVBackupStartWin::MessageReceived(BMessage* message)
{
	if (message->what != kCmdDialogOk) {
		BWindow::MessageReceived(message);
		return;
	}
	Settings().RemoveName("title");
	Settings().AddString("title", fTitle->Text());
	Settings().RemoveName("password");
	if (fPassword->Text()[0] != '\0')
		Settings().AddString("password", fPassword->Text());
	Settings().RemoveName("submitonhold");
	if (fHold->Value() == B_CONTROL_ON)
		Settings().AddInt32("submitonhold", 1);
	Confirm();
}
