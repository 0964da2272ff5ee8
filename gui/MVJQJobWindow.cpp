#include "MVJQJobWindow.h"

#include <string>

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/StringView.h>
#include <interface/TextControl.h>

#include "DialogButtons.h"
#include "GuiTexts.h"

namespace {

constexpr uint32 kCmdScheduler = 'jqsd';
constexpr uint32 kMsgSchedulerClosed = 'jqsq';
constexpr float kTop = 44;
constexpr float kBottom = 92;

}	// namespace


std::string MVJQJobWindow::Summary(const BMessage& record)
{
	BMessage selection;
	int32 lines = 0;
	if (record.FindMessage("selection", &selection) == B_OK)
		(void)selection.GetInfo("SELECTION", nullptr, &lines);
	BMessage insert;
	if (record.FindMessage("res_insert", &insert) == B_OK && insert.HasData("ID", B_STRING_TYPE))
		return std::string("Backup ") + insert.GetString("ID", "") + " from its medium";
	return std::to_string(lines) + " selection line(s); change them in the tool that made the "
		"job.";
}


MVJQJobWindow::MVJQJobWindow(BRect origin, const BMessage& record, BMessenger target,
	const char* mainView, float contentWidth, float contentHeight, bool ownScheduler)
	:
	MVDialogWindow(BRect(origin.left, origin.top, origin.left + contentWidth + 20,
		origin.top + kTop + contentHeight + kBottom), GuiText(kTextEdit), record,
		kMsgEditWindowReply, target),
	fSchedule(kMsgSchedulerClosed)
{
	float width = Bounds().Width();
	auto* background = new BView(Bounds(), mainView, B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	BMessage startInfo;
	(void)record.FindMessage("start_info", &startInfo);
	fTitle = new BTextControl(BRect(10, 12, width - 10, 34), "txt_title", GuiText(kTextTitle),
		startInfo.GetString("title", record.GetString("title", "")), nullptr);
	background->AddChild(fTitle);
	fContent = new BView(BRect(10, kTop, 10 + contentWidth, kTop + contentHeight), "content",
		B_FOLLOW_ALL, B_WILL_DRAW);
	background->AddChild(fContent);
	if (ownScheduler) {
		float top = kTop + contentHeight + 6;
		background->AddChild(new BButton(BRect(width - 130, top, width - 10, top + 26),
			"btn_scheduler", GuiText(kTextScheduler), new BMessage(kCmdScheduler),
			B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM));
	}
	AddDialogButtons(background);
	SetTitle((std::string(GuiText(kTextEdit)) + ": " + fTitle->Text()).c_str());
}


void MVJQJobWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdDialogOk:
			_Confirm();
			break;
		case kCmdScheduler:
			fSchedule.Open(Frame(), Settings(), BMessenger(this));
			break;
		case kMsgSchedulerClosed:
			fSchedule.Closed(*message, &Settings());
			break;
		case kMsgEditedJobGone:
			(new BAlert("Job Queue", "The job is no longer in the queue; the changes made "
				"here cannot be kept.", GuiText(kTextContinue), nullptr, nullptr,
				B_WIDTH_AS_USUAL, B_WARNING_ALERT))->Go();
			(void)PostMessage(B_QUIT_REQUESTED);
			break;
		default:
			MVDialogWindow::MessageReceived(message);
			break;
	}
}


void MVJQJobWindow::ReadContent(BMessage*)
{
}


void MVJQJobWindow::_Confirm()
{
	ReadContent(&Settings());
	SetJobTitle(&Settings(), fTitle->Text());
	Confirm();
}


void MVJQJobWindow::SetJobTitle(BMessage* record, const char* title)
{
	BMessage startInfo;
	(void)record->FindMessage("start_info", &startInfo);
	(void)startInfo.SetString("title", title);
	(void)record->SetMessage("start_info", &startInfo);
	(void)record->SetString("title", title);
}
