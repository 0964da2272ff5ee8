#include "MVRestoreStartWin.h"

#include <map>

#include <interface/Alert.h>
#include <interface/CheckBox.h>
#include <interface/ColumnListView.h>
#include <interface/StringView.h>
#include <interface/TextControl.h>

#include "BackupApplication.h"
#include "DialogButtons.h"
#include "GuiTexts.h"
#include "ServerProtocol.h"
#include "Warning.h"

namespace {

constexpr uint32 kMsgPasswordTyped = 'rspw';
constexpr float kWidth = 400;

enum Field : int32 {
	kFieldBackup = 0,
	kFieldPassword = 1,
};


// What the list shows in place of a password.
std::string Hidden(const std::string& password)
{
	return std::string(password.size(), '*');
}

}	// namespace


MVRestoreStartWin::MVRestoreStartWin(BPoint where, const char* title, const BMessage& startInfo,
	const std::vector<std::string>& protectedBackups, uint32 replyCode, BMessenger target)
	:
	MVDialogWindow(BRect(where.x, where.y, where.x + kWidth, where.y + 290), title, startInfo,
		replyCode, target)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	fTitle = new BTextControl(BRect(10, 12, kWidth - 10, 34), "str_title", GuiText(kTextTitle),
		startInfo.GetString("title", ""), nullptr);
	background->AddChild(fTitle);
	fHold = new BCheckBox(BRect(10, 42, kWidth - 10, 62), "chk_submitonhold",
		GuiText(kTextSubmitOnHold), nullptr);
	fHold->SetValue(startInfo.GetInt32("submitonhold", 0) != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
	background->AddChild(fHold);
	background->AddChild(new BStringView(BRect(10, 72, kWidth - 10, 90), "str_passwords",
		GuiText(kTextTypePassword)));
	fPasswords = new BColumnListView(BRect(10, 94, kWidth - 10, 230), "lst_passwords",
		B_FOLLOW_ALL, B_WILL_DRAW | B_NAVIGABLE, B_FANCY_BORDER);
	fPasswords->AddColumn(new BStringColumn(GuiText(kTextBackup), 220, 40, 600), kFieldBackup);
	fPasswords->AddColumn(new BStringColumn(GuiText(kTextPassword), 140, 40, 400),
		kFieldPassword);
	fPasswords->SetEditable(kFieldPassword, new BMessage(kMsgPasswordTyped));
	background->AddChild(fPasswords);
	(void)fPasswords->SetTarget(this);
	AddDialogButtons(background);
	SetBackups(protectedBackups);
	fTitle->MakeFocus(true);
}


void MVRestoreStartWin::SetBackups(const std::vector<std::string>& protectedBackups)
{
	std::map<std::string, std::string> typed;
	for (size_t index = 0; index < fBackups.size(); index++) {
		const char* password = nullptr;
		if (Settings().FindString("pw", int32(index), &password) == B_OK)
			typed[fBackups[index]] = password;
	}
	fBackups = protectedBackups;
	fPasswords->Clear();
	Settings().RemoveName("pw");
	for (const std::string& backup : fBackups) {
		auto* row = new BRow;
		row->SetField(new BStringField(backup.c_str()), kFieldBackup);
		row->SetField(new BStringField(Hidden(typed[backup]).c_str()), kFieldPassword);
		fPasswords->AddRow(row);
		Settings().AddString("pw", typed[backup].c_str());
	}
}


void MVRestoreStartWin::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kMsgPasswordTyped:
		{
			// The list shows stars; the password itself stays in the settings.
			BRow* row = nullptr;
			(void)message->FindPointer("row", (void**)&row);
			int32 index = fPasswords->IndexOf(row);
			const char* text = message->GetString("text", "");
			if (index < 0)
				break;
			(void)Settings().ReplaceString("pw", index, text);
			static_cast<BStringField*>(row->GetField(kFieldPassword))->SetString(
				Hidden(text).c_str());
			fPasswords->UpdateRow(row);
			break;
		}
		case kCmdDialogOk:
			_Confirm();
			break;
		default:
			MVDialogWindow::MessageReceived(message);
			break;
	}
}


int32 MVRestoreStartWin::_WrongPassword()
{
	if (fBackups.empty())
		return -1;
	BMessage check(kMsgPasswordCheck);
	for (size_t index = 0; index < fBackups.size(); index++) {
		check.AddString("name", fBackups[index].c_str());
		check.AddString("pw", Settings().GetString("pw", int32(index), ""));
	}
	BMessage answer;
	if (BackupApplication::Get()->PostServer(&check, &answer) != B_OK)
		return 0;
	// The answer lists the names the server knows, each with its result.
	std::map<std::string, bool> right;
	const char* name;
	for (int32 element = 0; answer.FindString("name", element, &name) == B_OK; element++)
		right[name] = answer.GetInt32("result", element, 0) == 1;
	for (size_t index = 0; index < fBackups.size(); index++) {
		if (!right[fBackups[index]])
			return int32(index);
	}
	return -1;
}


void MVRestoreStartWin::_Confirm()
{
	int32 wrong = _WrongPassword();
	if (wrong >= 0) {
		BRow* row = fPasswords->RowAt(wrong);
		fPasswords->DeselectAll();
		fPasswords->AddToSelection(row);
		fPasswords->ScrollTo(row);
		WarnUser("RestoreStart", GuiText(kTextWrongPassword));
		return;
	}
	(void)Settings().SetString("title", fTitle->Text());
	(void)Settings().SetInt32("submitonhold", fHold->Value() == B_CONTROL_ON ? 1 : 0);
	Confirm();
}
