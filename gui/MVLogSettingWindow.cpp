#include "MVLogSettingWindow.h"

#include <cctype>
#include <string>

#include <interface/Alert.h>
#include <interface/Box.h>
#include <interface/CheckBox.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>
#include <interface/RadioButton.h>
#include <interface/StringView.h>
#include <interface/TextControl.h>

#include "BackupApplication.h"
#include "DialogButtons.h"
#include "GuiTexts.h"
#include "InputChecks.h"
#include "ReportLineType.h"
#include "ServerProtocol.h"
#include "Warning.h"

namespace {

constexpr uint32 kCmdFamily = 'lfam';
constexpr uint32 kCmdSize = 'lsiz';
constexpr uint32 kCmdMode = 'lmod';
constexpr int32 kShowAllLines = -1;
const int32 kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 24};
const char* const kFilterNames[] = {"Information", "Warnings", "Errors", "Volumes", "Folders",
	"Links", "Files", "Settings", "Statistics"};


}	// namespace


const int32 MVLogSettingWindow::kFilterTypes[] = {kLineInfo, kLineWarning, kLineError,
	kLineVolumeRoot, kLineDirectory, kLineSymLink, kLineFile, kLineSettings, kLineStatistics};
const int32 MVLogSettingWindow::kFilterTypeCount = 9;


MVLogSettingWindow::MVLogSettingWindow(BRect frame, const BMessage& settings,
	const BMessage& policy, BMessenger viewer)
	:
	MVDialogWindow(frame, "Report Settings", settings, kMsgLogSettingsClosed, viewer)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	_AddFontMenus(background);
	_AddFilter(background);
	_AddPolicy(background, policy);
	AddDialogButtons(background);
	_EnableFields();
}


void MVLogSettingWindow::_AddFontMenus(BView* background)
{
	std::string current = Settings().GetString("logtextfamily", "DejaVu Sans Mono");
	auto* families = new BPopUpMenu("Font");
	std::string family;
	for (int32 index = 0; get_font_family(index, &family) == B_OK; index++) {
		auto* message = new BMessage(kCmdFamily);
		message->AddString("font", family.c_str());
		auto* item = new BMenuItem(family.c_str(), message);
		item->SetMarked(family == current);
		families->AddItem(item);
	}
	fFamily = new BMenuField(BRect(10, 10, 300, 34), "mnu_family", "Font:", families);
	background->AddChild(fFamily);

	int32 currentSize = Settings().GetInt32("logtextsize", 12);
	auto* sizes = new BPopUpMenu("Size");
	for (int32 size : kSizes) {
		auto* message = new BMessage(kCmdSize);
		message->AddInt32("size", size);
		auto* item = new BMenuItem(std::to_string(size).c_str(), message);
		item->SetMarked(size == currentSize);
		sizes->AddItem(item);
	}
	fSize = new BMenuField(BRect(310, 10, 430, 34), "mnu_size", "Size:", sizes);
	background->AddChild(fSize);
}


void MVLogSettingWindow::_AddFilter(BView* background)
{
	auto* box = new BBox(BRect(10, 44, 430, 150), "box_filter");
	box->SetLabel("Show");
	background->AddChild(box);
	int32 filter = Settings().GetInt32("logfilter", kShowAllLines);
	for (int32 index = 0; index < kFilterTypeCount; index++) {
		float left = 10 + (index % 3) * 135;
		float top = 20 + (index / 3) * 26;
		std::string name = "chk_filter_" + std::to_string(kFilterTypes[index]);
		fFilter[index] = new BCheckBox(BRect(left, top, left + 130, top + 22), name.c_str(),
			kFilterNames[index], nullptr);
		fFilter[index]->SetValue((filter & (1 << kFilterTypes[index])) != 0);
		box->AddChild(fFilter[index]);
	}
}


void MVLogSettingWindow::_AddPolicy(BView* background, const BMessage& policy)
{
	auto* box = new BBox(BRect(10, 160, 430, 290), "box_delete");
	box->SetLabel("Delete reports");
	background->AddChild(box);
	const int32 texts[] = {118, 119, 120};
	int32 mode = policy.GetInt32("mode", 0);
	for (int32 index = 0; index < 3; index++) {
		BMessage* message = new BMessage(kCmdMode);
		std::string name = "rbtn_delete_" + std::to_string(index);
		float top = 20 + index * 26;
		fModes[index] = new BRadioButton(BRect(10, top, 150, top + 22), name.c_str(),
			GuiText(texts[index]), message);
		fModes[index]->SetValue(index == mode ? B_CONTROL_ON : B_CONTROL_OFF);
		box->AddChild(fModes[index]);
	}
	fDays = new BTextControl(BRect(160, 46, 260, 68), "txt_deleteolder", nullptr,
		std::to_string(policy.GetInt32("days", 30)).c_str(), nullptr);
	fCount = new BTextControl(BRect(160, 72, 260, 94), "txt_deletecount", nullptr,
		std::to_string(policy.GetInt32("count", 0)).c_str(), nullptr);
	box->AddChild(fDays);
	box->AddChild(new BStringView(BRect(266, 46, 400, 68), nullptr, "days"));
	box->AddChild(fCount);
	box->AddChild(new BStringView(BRect(266, 72, 400, 94), nullptr, "reports"));
	fOverwrite = new BCheckBox(BRect(10, 100, 400, 122), "chk_deloverwrite", GuiText(122),
		nullptr);
	fOverwrite->SetValue(policy.GetInt32("overwrite", 0) != 0);
	box->AddChild(fOverwrite);
}


void MVLogSettingWindow::_EnableFields()
{
	fDays->SetEnabled(fModes[1]->Value() == B_CONTROL_ON);
	fCount->SetEnabled(fModes[2]->Value() == B_CONTROL_ON);
}


void MVLogSettingWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdFamily: {
			BMessage font(kMsgLogFontChanged);
			font.AddString("font", message->GetString("font", ""));
			font.AddString("style", "Regular");
			(void)Settings().SetString("logtextfamily", message->GetString("font", ""));
			(void)Target().SendMessage(&font);
			break;
		}
		case kCmdSize: {
			BMessage size(kMsgLogSizeChanged);
			size.AddInt32("size", message->GetInt32("size", 12));
			(void)Settings().SetInt32("logtextsize", message->GetInt32("size", 12));
			(void)Target().SendMessage(&size);
			break;
		}
		case kCmdMode:
			_EnableFields();
			break;
		case kCmdDialogOk:
			if (_Confirm()) {
				Confirm();
			}
			break;
		default:
			BWindow::MessageReceived(message);
			break;
	}
}


bool MVLogSettingWindow::_Confirm()
{
	if (!IsDecimalNumber(fDays->Text()) || !IsDecimalNumber(fCount->Text())) {
		int32 text = IsDecimalNumber(fDays->Text()) ? 124 : 123;
		WarnUser("Report Settings", GuiText(text));
		return false;
	}
	int32 filter = 0;
	for (int32 index = 0; index < kFilterTypeCount; index++) {
		if (fFilter[index]->Value() == B_CONTROL_ON)
			filter |= 1 << kFilterTypes[index];
	}
	(void)Settings().SetInt32("logfilter", filter);
	if (!Settings().HasData("logtextstyle", B_STRING_TYPE))
		Settings().AddString("logtextstyle", "Regular");
	BMessage policy(kMsgReportSetPolicy);
	int32 mode = 0;
	for (int32 index = 0; index < 3; index++) {
		if (fModes[index]->Value() == B_CONTROL_ON)
			mode = index;
	}
	policy.AddInt32("mode", mode);
	policy.AddInt32("overwrite", fOverwrite->Value());
	policy.AddInt32("days", std::stoi(fDays->Text()));
	policy.AddInt32("count", std::stoi(fCount->Text()));
	(void)BackupApplication::Get()->PostServer(&policy);
	return true;
}
