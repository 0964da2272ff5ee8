#include "MVDeleteRequestWindow.h"

#include <interface/CheckBox.h>
#include <interface/StringView.h>
#include <interface/TextView.h>

#include "DialogButtons.h"

namespace {

constexpr float kWidth = 380;

}	// namespace


MVDeleteRequestWindow::MVDeleteRequestWindow(BPoint where, const char* title,
	const char* question, const std::string& names, const BMessage& settings,
	uint32 replyCode, BMessenger target, DeleteChoice choice)
	:
	MVDialogWindow(BRect(where.x, where.y, where.x + kWidth, where.y + (choice.name ? 230 : 200)),
		title, settings, replyCode, target),
	fChoiceKey(choice.key)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	background->AddChild(new BStringView(BRect(10, 10, kWidth - 10, 28), "str_question",
		question));
	BRect frame(10, 34, kWidth - 10, 124);
	fNames = new BTextView(frame, "txt_names", BRect(4, 4, frame.Width() - 4, frame.Height() - 4));
	fNames->MakeEditable(false);
	fNames->SetWordWrap(true);
	background->AddChild(fNames);
	SetNames(names);
	if (choice.name != nullptr) {
		fChoice = new BCheckBox(BRect(10, 132, kWidth - 10, 152), choice.name, choice.label,
			nullptr);
		fChoice->SetValue(settings.GetInt32(choice.key, 0) != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
		background->AddChild(fChoice);
	}
	AddDialogButtons(background);
}


void MVDeleteRequestWindow::SetNames(const std::string& names)
{
	fNames->SetText(names.c_str());
}


void MVDeleteRequestWindow::MessageReceived(BMessage* message)
{
	if (message->what == kMsgDeleteRequestNames) {
		SetNames(message->GetString("names", ""));
		return;
	}
	if (message->what != kCmdDialogOk) {
		MVDialogWindow::MessageReceived(message);
		return;
	}
	if (fChoice != nullptr)
		(void)Settings().SetInt32(fChoiceKey, fChoice->Value() == B_CONTROL_ON ? 1 : 0);
	Confirm();
}
