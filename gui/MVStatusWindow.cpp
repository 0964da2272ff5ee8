#include "MVStatusWindow.h"

#include <algorithm>
#include <thread>

#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "MVStatusView.h"
#include "ServerProtocol.h"

namespace {

constexpr BRect kDefaultFrame(620, 80, 1079, 80 + MVStatusView::kHeight);

BRect FrameFrom(const BMessage& settings)
{
	BRect frame;
	if (settings.FindRect(kStatusFrame, &frame) != B_OK || !frame.IsValid() || frame.Width() < 100)
		frame = kDefaultFrame;
	return frame;
}

}	// namespace


MVStatusWindow::MVStatusWindow(const BMessage& settings, BMessenger mainWindow)
	:
	BWindow(FrameFrom(settings), GuiText(kTextRunningJobs), B_TITLED_WINDOW,
		B_NOT_ZOOMABLE | B_NOT_V_RESIZABLE),
	fSettings(settings),
	fMainWindow(mainWindow)
{
	SetSizeLimits(360, 2000, MVStatusView::kHeight - 1, 4000);
}


BMessenger MVStatusWindow::AddJob(const BMessage& start)
{
	int32 jobID = start.GetInt32("job_id", 0);
	if (MVStatusView* existing = RowFor(jobID))
		return BMessenger(existing);
	const char* title = start.GetString("title", "");
	BRect frame(0, CountJobs() * MVStatusView::kHeight, Bounds().Width(),
		(CountJobs() + 1) * MVStatusView::kHeight - 1);
	auto* row = new MVStatusView(frame, jobID, title[0] != '\0' ? title : GuiText(kTextNoTitle));
	AddChild(row);
	fRows.push_back(row);
	_Relayout();
	return BMessenger(row);
}


MVStatusView* MVStatusWindow::RowFor(int32 jobID) const
{
	for (MVStatusView* row : fRows) {
		if (row->JobID() == jobID)
			return row;
	}
	return nullptr;
}


void MVStatusWindow::SetSettings(const BMessage& settings)
{
	fSettings = settings;
}


void MVStatusWindow::MessageReceived(BMessage* message)
{
	int32 jobID = message->GetInt32("job_id", 0);
	switch (message->what) {
		case kMsgJobRemoved:
			_JobEnded(jobID);
			break;
		case kMsgJobChanged:
			if (MVStatusView* row = RowFor(jobID))
				(void)PostMessage(message, row);
			break;
		case kCmdRemoveFinishedItem:
			_RemoveRow(jobID);
			break;
		default:
			BWindow::MessageReceived(message);
			break;
	}
}


void MVStatusWindow::_JobEnded(int32 jobID)
{
	MVStatusView* row = RowFor(jobID);
	if (row == nullptr)
		return;
	row->MarkFinished();
	if (fSettings.GetInt32(kStatusRemoveFinished, 1) == 0)
		return;
	int32 delay = std::clamp(fSettings.GetInt32(kStatusRemoveDelay, 10), 0, 3600);
	BMessenger self(this);
	// The row goes after the delay; a window gone meanwhile takes no news.
	std::thread([self, jobID, delay] {
		(void)snooze(bigtime_t(delay) * 1000000);
		BMessage remove(kCmdRemoveFinishedItem);
		remove.AddInt32("job_id", jobID);
		(void)self.SendMessage(&remove);
	}).detach();
}


void MVStatusWindow::_RemoveRow(int32 jobID)
{
	MVStatusView* row = RowFor(jobID);
	if (row == nullptr)
		return;
	fRows.erase(std::find(fRows.begin(), fRows.end(), row));
	RemoveChild(row);
	delete row;
	_Relayout();
	if (fRows.empty() && fSettings.GetInt32(kStatusCloseWhenEmpty, 1) != 0)
		(void)PostMessage(B_QUIT_REQUESTED);
}


void MVStatusWindow::_Relayout()
{
	float top = 0;
	for (MVStatusView* row : fRows) {
		row->MoveTo(0, top);
		top += MVStatusView::kHeight;
	}
	float height = std::max(1, CountJobs()) * MVStatusView::kHeight - 1;
	SetSizeLimits(360, 2000, height, height);
	ResizeTo(Bounds().Width(), height);
}


void MVStatusWindow::Quit()
{
	BMessage closed(kCmdStatusWindowClosed);
	closed.AddRect("frame", Frame());
	(void)fMainWindow.SendMessage(&closed);
	BWindow::Quit();
}
