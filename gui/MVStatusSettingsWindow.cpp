#include "MVStatusSettingsWindow.h"

#include <cctype>
#include <string>

#include <interface/Alert.h>
#include <interface/CheckBox.h>
#include <interface/StringView.h>
#include <interface/TextControl.h>

#include "GuiProtocol.h"
#include "DialogButtons.h"
#include "GuiTexts.h"
#include "InputChecks.h"
#include "Warning.h"

namespace {


BCheckBox* AddCheck(BView* parent, float top, const char* name, int32 text, int32 value)
{
	auto* box = new BCheckBox(BRect(12, top, 330, top + 20), name, GuiText(text), nullptr);
	box->SetValue(value != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
	parent->AddChild(box);
	return box;
}

}	// namespace


MVStatusSettingsWindow::MVStatusSettingsWindow(const BMessage& settings, BMessenger mainWindow)
	:
	MVDialogWindow(BRect(100, 100, 449, 309), GuiText(kTextStatusWindowSettings), settings,
		kCmdStatusSettingsClosed, mainWindow)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	fAutoOpen = AddCheck(background, 10, "autoopen", kTextShowOnNewJob,
		settings.GetInt32(kStatusAutoOpen, 1));
	fCloseEmpty = AddCheck(background, 36, "closeempty", kTextCloseWhenEmpty,
		settings.GetInt32(kStatusCloseWhenEmpty, 1));
	fRemoveFinished = AddCheck(background, 62, "removefinished", kTextRemoveWhenFinished,
		settings.GetInt32(kStatusRemoveFinished, 1));
	std::string delay = std::to_string(settings.GetInt32(kStatusRemoveDelay, 10));
	fDelay = new BTextControl(BRect(32, 90, 260, 112), "removedelay", GuiText(kTextRemoveDelay),
		delay.c_str(), nullptr);
	fDelay->SetMaxBytes(4);
	background->AddChild(fDelay);
	background->AddChild(new BStringView(BRect(266, 90, 330, 112), nullptr, GuiText(kTextSeconds)));
	fFollowMain = AddCheck(background, 120, "followmain", kTextFollowMainWindow,
		settings.GetInt32(kStatusFollowMain, 0));
	AddDialogButtons(background);
}


void MVStatusSettingsWindow::MessageReceived(BMessage* message)
{
	if (message->what != kCmdDialogOk) {
		BWindow::MessageReceived(message);
		return;
	}
	if (!_Store())
		return;
	Confirm();
}


bool MVStatusSettingsWindow::_Store()
{
	std::string delay = fDelay->Text();
	if (!IsDecimalNumber(delay.c_str(), 4)) {
		WarnUser(GuiText(kTextStatusWindowSettings), GuiText(kTextDelayNotNumeric));
		return false;
	}
	Settings().SetInt32(kStatusAutoOpen, fAutoOpen->Value());
	Settings().SetInt32(kStatusCloseWhenEmpty, fCloseEmpty->Value());
	Settings().SetInt32(kStatusRemoveFinished, fRemoveFinished->Value());
	Settings().SetInt32(kStatusRemoveDelay, std::stoi(delay));
	Settings().SetInt32(kStatusFollowMain, fFollowMain->Value());
	return true;
}
