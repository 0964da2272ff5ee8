#include "MVStatusView.h"

#include <cstdio>

#include <app/Message.h>
#include <interface/Box.h>
#include <interface/Button.h>
#include <interface/Font.h>
#include <interface/StatusBar.h>
#include <interface/StringView.h>

#include "BackupApplication.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "JobState.h"
#include "ReportLineText.h"
#include "ReportLineType.h"
#include "ServerProtocol.h"

namespace {

std::string Format(const char* format, double value)
{
	char text[128];
	snprintf(text, sizeof(text), format, value);
	return text;
}

std::string SizeText(int64 bytes)
{
	if (bytes >= 1024 * 1024)
		return Format("%.1f MB", double(bytes) / (1024 * 1024));
	if (bytes >= 1024)
		return Format("%.2f KB", double(bytes) / 1024);
	return std::to_string(bytes) + " Bytes";
}

}	// namespace


MVStatusView::MVStatusView(BRect frame, int32 jobID, const char* title)
	:
	BView(frame, "status_view", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, B_WILL_DRAW),
	fJobID(jobID)
{
	float width = frame.Width();
	float third = width / 3;
	fTitle = new BStringView(BRect(8, 4, width - 8, 20), "title", title,
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	fTitle->SetFont(be_bold_font);
	std::string label = std::string(GuiText(kTextStatus)) + " ";
	fBar = new BStatusBar(BRect(8, 22, width - 8, 58), "progress", label.c_str());
	fBar->SetMaxValue(1000);
	fFiles = new BStringView(BRect(8, 60, width / 2 - 4, 76), "files", "");
	fBytes = new BStringView(BRect(width / 2 + 4, 60, width - 8, 76), "bytes", "",
		B_FOLLOW_RIGHT | B_FOLLOW_TOP);
	fElapsed = new BStringView(BRect(8, 78, third - 4, 94), "elapsed", "");
	fRemain = new BStringView(BRect(third + 4, 78, 2 * third - 4, 94), "remain", "",
		B_FOLLOW_H_CENTER | B_FOLLOW_TOP);
	fSpeed = new BStringView(BRect(2 * third + 4, 78, width - 8, 94), "speed", "",
		B_FOLLOW_RIGHT | B_FOLLOW_TOP);
	fLastLine = new BStringView(BRect(8, 96, width - 8, 112), "lastline", "",
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	for (BView* view : std::initializer_list<BView*>{fTitle, fBar, fFiles, fBytes, fElapsed,
			fRemain, fSpeed, fLastLine}) {
		AddChild(view);
	}
	float buttonTop = 116;
	fPause = new BButton(BRect(width - 258, buttonTop, width - 178, buttonTop + 20), "btn_pause",
		GuiText(kTextPause), new BMessage(kCmdJobPauseButton), B_FOLLOW_RIGHT | B_FOLLOW_TOP);
	fContinue = new BButton(BRect(width - 172, buttonTop, width - 92, buttonTop + 20),
		"btn_continue", GuiText(kTextContinue), new BMessage(kCmdJobContinueButton),
		B_FOLLOW_RIGHT | B_FOLLOW_TOP);
	fAbort = new BButton(BRect(width - 86, buttonTop, width - 8, buttonTop + 20), "btn_abort",
		GuiText(kTextAbort), new BMessage(kCmdJobAbortButton), B_FOLLOW_RIGHT | B_FOLLOW_TOP);
	for (BButton* button : {fPause, fContinue, fAbort}) {
		button->SetTarget(this);
		AddChild(button);
	}
	fContinue->SetEnabled(false);
	AddChild(new BBox(BRect(0, kHeight - 1, width, kHeight - 1), nullptr,
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM));
}


void MVStatusView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kMsgJobProgress:
			if (message->GetInt32("linetype", 0) == kLineProgress)
				_Progress(*message);
			else
				_ReportLine(*message);
			break;
		case kMsgJobChanged: {
			bool paused = message->GetInt32("jobstatus", 0) == kJobPaused;
			fPause->SetEnabled(!paused && !fFinished);
			fContinue->SetEnabled(paused && !fFinished);
			break;
		}
		case kCmdJobPauseButton:
			_Control(kMsgJobPause);
			break;
		case kCmdJobContinueButton:
			_Control(kMsgJobContinue);
			break;
		case kCmdJobAbortButton:
			_Control(kMsgJobDelete);
			break;
		default:
			BView::MessageReceived(message);
			break;
	}
}


void MVStatusView::MarkFinished()
{
	fFinished = true;
	for (BButton* button : {fPause, fContinue, fAbort})
		button->SetEnabled(false);
}


void MVStatusView::_Progress(const BMessage& message)
{
	int64 size = message.GetInt64("size", 0);
	int64 maxSize = message.GetInt64("maxsize", 0);
	float share = maxSize > 0 ? float(double(size) / double(maxSize)) : 0;
	fBar->SetTo(share * 1000, message.GetString("report", ""));
	fFiles->SetText(FilesText(message.GetInt32("count", 0), message.GetInt32("maxcount", 0)).c_str());
	fBytes->SetText(BytesText(size, maxSize).c_str());
	int32 remain = message.GetInt32("remain", -1);
	std::string elapsed = std::string(GuiText(kTextTimeElapsed)) + " "
		+ TimeText(message.GetInt32("elapsed", 0));
	fElapsed->SetText(elapsed.c_str());
	std::string left = std::string(GuiText(kTextTimeRemain)) + " "
		+ (remain >= 0 ? TimeText(remain) : "--:--:--");
	fRemain->SetText(left.c_str());
	float speed = 0;
	(void)message.FindFloat("speed", &speed);
	fSpeed->SetText(SpeedText(speed).c_str());
}


void MVStatusView::_ReportLine(const BMessage& message)
{
	std::string text = ReportLineText::Render(message);
	for (char& character : text) {
		if (character == '\t' || character == '\n')
			character = ' ';
	}
	fLastLine->SetText(text.c_str());
}


void MVStatusView::_Control(uint32 what)
{
	BMessage request(what);
	request.AddInt32("job_id", fJobID);
	if (what == kMsgJobDelete)
		request.AddInt32("flag", 1);
	(void)BackupApplication::Get()->PostServer(&request);
}


std::string MVStatusView::FilesText(int32 count, int32 maxCount)
{
	std::string text = std::string(GuiText(kTextFilesRead)) + " " + std::to_string(count);
	if (maxCount > 0)
		text += " / " + std::to_string(maxCount);
	return text;
}


std::string MVStatusView::BytesText(int64 size, int64 maxSize)
{
	std::string text = std::string(GuiText(kTextBytesRead)) + " " + SizeText(size);
	if (maxSize > 0)
		text += " / " + SizeText(maxSize);
	return text;
}


std::string MVStatusView::TimeText(int32 seconds)
{
	if (seconds < 0)
		seconds = 0;
	char text[32];
	snprintf(text, sizeof(text), "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
	return text;
}


std::string MVStatusView::SpeedText(float bytesPerSecond)
{
	if (bytesPerSecond >= 1024 * 1024)
		return Format("Speed: %.1f MB/s", bytesPerSecond / (1024 * 1024));
	if (bytesPerSecond >= 1024)
		return Format("Speed: %.2f KB/s", bytesPerSecond / 1024);
	char text[64];
	snprintf(text, sizeof(text), "Speed: %ld Bytes/s", long(bytesPerSecond));
	return text;
}
