#include "MVSchedulerWindow.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include <interface/Alert.h>
#include <interface/Box.h>
#include <interface/CheckBox.h>
#include <interface/StringView.h>
#include <interface/TextControl.h>

#include "DialogButtons.h"
#include "GuiTexts.h"
#include "InputChecks.h"
#include "MVJobScheduler.h"
#include "Warning.h"

namespace {

constexpr uint32 kCmdFieldChanged = 'schf';
const char* const kRepeatFields[4] = {"Months", "Days", "Hours", "Minutes"};
constexpr int32 kTextAt = 248;
constexpr int32 kTextOn = 249;
constexpr int32 kTextFirstRepeatField = 251;
constexpr int32 kTextFirstWeekday = 255;
constexpr int32 kTextRepeatInterval = 262;
constexpr int32 kTextExcludeDays = 263;
constexpr int32 kTextWrongNumber = 264;
constexpr int32 kTextWrongTime = 265;
constexpr int32 kTextWrongDate = 266;


// Digits where the pattern has '9', the pattern's character elsewhere.
bool HasForm(const char* text, const char* pattern)
{
	std::string value = text != nullptr ? text : "";
	std::string form = pattern;
	if (value.size() != form.size())
		return false;
	for (size_t index = 0; index < form.size(); index++) {
		bool digit = isdigit(static_cast<unsigned char>(value[index])) != 0;
		if (form[index] == '9' ? !digit : value[index] != form[index])
			return false;
	}
	return true;
}


std::string LocalText(int32 seconds, const char* format)
{
	time_t when = seconds;
	tm local;
	char text[64];
	if (localtime_r(&when, &local) == nullptr || strftime(text, sizeof(text), format, &local) == 0)
		return "-";
	return text;
}

}	// namespace


MVSchedulerWindow::MVSchedulerWindow(BRect frame, const BMessage& schedule, uint32 replyCode,
	BMessenger target)
	:
	MVDialogWindow(frame, GuiText(kTextScheduler), schedule, replyCode, target)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	float width = Bounds().Width();
	background->AddChild(new BStringView(BRect(10, 8, width - 10, 24), nullptr,
		GuiText(kTextStartAt)));
	fTime = new BTextControl(BRect(10, 28, 130, 50), "TIME", GuiText(kTextAt), "",
		new BMessage(kCmdFieldChanged));
	fDate = new BTextControl(BRect(140, 28, 320, 50), "DATE", GuiText(kTextOn), "",
		new BMessage(kCmdFieldChanged));
	background->AddChild(fTime);
	background->AddChild(fDate);

	auto* repeat = new BBox(BRect(10, 60, width - 10, 140), "box_repeat");
	repeat->SetLabel(GuiText(kTextRepeatInterval));
	background->AddChild(repeat);
	for (int32 index = 0; index < 4; index++) {
		float left = 10 + (index % 2) * 170;
		float top = 20 + (index / 2) * 28;
		fRepeat[index] = new BTextControl(BRect(left, top, left + 160, top + 22),
			kRepeatFields[index], GuiText(kTextFirstRepeatField + index), "",
			new BMessage(kCmdFieldChanged));
		fRepeat[index]->SetDivider(80);
		repeat->AddChild(fRepeat[index]);
	}

	auto* exclude = new BBox(BRect(10, 150, width - 10, 236), "box_exclude");
	exclude->SetLabel(GuiText(kTextExcludeDays));
	background->AddChild(exclude);
	for (int32 day = 0; day < 7; day++) {
		float left = 10 + (day % 4) * 102;
		float top = 20 + (day / 4) * 28;
		auto* message = new BMessage(kCmdFieldChanged);
		fWeekdays[day] = new BCheckBox(BRect(left, top, left + 100, top + 22),
			MVJobScheduler::kWeekdayNames[day], GuiText(kTextFirstWeekday + day), message);
		exclude->AddChild(fWeekdays[day]);
	}
	fNextStarts = new BStringView(BRect(10, 242, width - 10, 258), "next_starts", "");
	background->AddChild(fNextStarts);
	AddDialogButtons(background);
	_Show(schedule);
}


void MVSchedulerWindow::_Show(const BMessage& schedule)
{
	int32 start = 0;
	if (schedule.FindTime("TIME", &start) != B_OK)
		start = int32(time(nullptr));
	fTime->SetText(LocalText(start, "%H:%M").c_str());
	fDate->SetText(LocalText(start, "%d.%m.%Y").c_str());
	for (int32 index = 0; index < 4; index++) {
		char number[16];
		snprintf(number, sizeof(number), "%ld", long(schedule.GetInt32(kRepeatFields[index], 0)));
		fRepeat[index]->SetText(number);
	}
	for (int32 day = 0; day < 7; day++) {
		fWeekdays[day]->SetValue(schedule.GetBool(MVJobScheduler::kWeekdayNames[day], false)
			? B_CONTROL_ON : B_CONTROL_OFF);
	}
	_ShowNextStarts();
}


bool MVSchedulerWindow::Build(BMessage* schedule, int32* alertText) const
{
	if (!HasForm(fTime->Text(), "99:99")) {
		*alertText = kTextWrongTime;
		return false;
	}
	if (!HasForm(fDate->Text(), "99.99.9999")) {
		*alertText = kTextWrongDate;
		return false;
	}
	for (BTextControl* field : fRepeat) {
		if (!IsDecimalNumber(field->Text())) {
			*alertText = kTextWrongNumber;
			return false;
		}
	}
	std::string timeText = fTime->Text();
	std::string dateText = fDate->Text();
	tm local = {};
	local.tm_hour = std::stoi(timeText.substr(0, 2));
	local.tm_min = std::stoi(timeText.substr(3, 2));
	local.tm_mday = std::stoi(dateText.substr(0, 2));
	local.tm_mon = std::stoi(dateText.substr(3, 2)) - 1;
	local.tm_year = std::stoi(dateText.substr(6, 4)) - 1900;
	local.tm_isdst = -1;
	*schedule = BMessage();
	schedule->AddTime("TIME", int32(mktime(&local)));
	for (int32 index = 0; index < 4; index++)
		schedule->AddInt32(kRepeatFields[index], std::stoi(fRepeat[index]->Text()));
	for (int32 day = 0; day < 7; day++)
		schedule->AddBool(MVJobScheduler::kWeekdayNames[day], fWeekdays[day]->Value() != 0);
	return true;
}


std::vector<int32> MVSchedulerWindow::NextStarts(const BMessage& schedule, int32 count)
{
	std::vector<int32> starts;
	int32 start = 0;
	if (schedule.FindTime("TIME", &start) != B_OK)
		return starts;
	starts.push_back(start);
	while (int32(starts.size()) < count) {
		int32 next = 0;
		int32 last = starts.back();
		if (last == INT32_MAX || !MVJobScheduler::NextStart(schedule, last, last + 1, &next))
			break;
		starts.push_back(next);
	}
	return starts;
}


void MVSchedulerWindow::_ShowNextStarts()
{
	BMessage schedule;
	int32 alert;
	if (!Build(&schedule, &alert)) {
		fNextStarts->SetText("");
		return;
	}
	std::string text = "Runs: ";
	std::vector<int32> starts = NextStarts(schedule, 3);
	for (size_t index = 0; index < starts.size(); index++)
		text += (index > 0 ? ",  " : "") + LocalText(starts[index], "%a %d.%m.%Y %H:%M");
	if (starts.size() == 1)
		text += " (once)";
	fNextStarts->SetText(text.c_str());
}


void MVSchedulerWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdFieldChanged: {
			BMessage schedule;
			int32 alert;
			if (!Build(&schedule, &alert)) {
				WarnUser(alert == kTextWrongNumber ? "Repeat" : GuiText(kTextScheduler),
					GuiText(alert));
			}
			_ShowNextStarts();
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


void MVSchedulerWindow::_Confirm()
{
	BMessage schedule;
	int32 alert;
	if (!Build(&schedule, &alert)) {
		WarnUser(GuiText(kTextScheduler), GuiText(alert));
		return;
	}
	// A time or date that does not exist (24:00, 31.02.) becomes another
	// one; the user sees which before it is taken.
	int32 start = 0;
	(void)schedule.FindTime("TIME", &start);
	std::string shownTime = fTime->Text();
	std::string shownDate = fDate->Text();
	if (LocalText(start, "%H:%M") != shownTime || LocalText(start, "%d.%m.%Y") != shownDate) {
		_Show(schedule);
		std::string text = "There is no " + shownDate + " " + shownTime + "; the job would "
			"start at " + LocalText(start, "%d.%m.%Y %H:%M") + ". The fields now show that; "
			"press Ok again to take it.";
		(new BAlert(GuiText(kTextScheduler), text.c_str(), GuiText(kTextOk)))->Go();
		return;
	}
	Settings() = schedule;
	Confirm();
}


MVSchedulerWindow* MVSchedulerWindow::OpenBeside(BRect ownerFrame, const BMessage& schedule,
	uint32 replyCode, BMessenger target)
{
	BPoint where(ownerFrame.left + 50, ownerFrame.top + 40);
	auto* window = new MVSchedulerWindow(BRect(where.x, where.y, where.x + 439, where.y + 309),
		schedule, replyCode, target);
	window->Show();
	return window;
}
