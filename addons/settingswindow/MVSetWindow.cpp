#include "MVSetWindow.h"

#include <algorithm>

#include <interface/Box.h>
#include <interface/Button.h>

#include "MVLocale.h"
#include "MVSetView.h"

namespace {

constexpr const char* kFrameKey = "winpos";
constexpr int32 kOkText = 0;
constexpr int32 kCancelText = 1;
// The strip under the background view that holds the buttons.
constexpr float kButtonStrip = 40;

}	// namespace


MVSetWindow::MVSetWindow(const char* title, BWindow* parent, BMessage settings,
	uint32 replyCode, BHandler* target, window_look look, window_feel feel, uint32 flags)
	:
	BWindow(BRect(0, 0, 100, 100), title, look, feel, flags),
	fLocale(MVLocale::GetInstance()),
	fTarget(target != nullptr ? target : parent),
	fParent(parent),
	fParentMessenger(nullptr, parent),
	fSettings(std::move(settings)),
	fReplyCode(replyCode)
{
	BRect frame;
	if (fSettings.FindRect(kFrameKey, &frame) == B_OK && frame.IsValid())
		_PlaceAt(frame);

	// Qt stacks a later sibling above an earlier one: the background comes
	// first, so that the separator and the buttons lie on top of it.
	BRect bounds = Bounds();
	float width = bounds.Width();
	float height = bounds.Height();
	AddChild(new MVSetView(bounds));
	AddChild(new BBox(BRect(0, height - kButtonStrip, width, height - kButtonStrip), nullptr,
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM));
	AddChild(new BButton(BRect(10, height - 30, width / 2 - 10, height - 10), "btn_ok",
		fLocale->Text(kOkText), new BMessage(kSetWindowOk), B_FOLLOW_LEFT | B_FOLLOW_BOTTOM));
	AddChild(new BButton(BRect(width / 2 + 10, height - 30, width - 10, height - 10),
		"btn_cancel", fLocale->Text(kCancelText), new BMessage(B_QUIT_REQUESTED),
		B_FOLLOW_H_CENTER | B_FOLLOW_BOTTOM));
}


void MVSetWindow::MessageReceived(BMessage* message)
{
	if (message->what == kSetWindowOk) {
		_Confirm();
		return;
	}
	BWindow::MessageReceived(message);
}


void MVSetWindow::Quit()
{
	if (fParentMessenger.LockTarget()) {
		BMessage reply(fReplyCode);
		reply.AddBool("result", fResult);
		reply.AddMessage("settings", &fSettings);
		// A result handler that left the parent misses the reply.
		(void)fParent->PostMessage(&reply, fTarget);
		fParent->Unlock();
	}
	BWindow::Quit();
}


void MVSetWindow::SetSizeLimits(float minWidth, float maxWidth, float minHeight,
	float maxHeight)
{
	BRect bounds = Bounds();
	if ((Flags() & B_NOT_RESIZABLE) != 0)
		ResizeTo(minWidth, minHeight);
	else if (bounds.Width() < minWidth || bounds.Height() < minHeight)
		ResizeTo(std::max(bounds.Width(), minWidth), std::max(bounds.Height(), minHeight));
	BWindow::SetSizeLimits(minWidth, maxWidth, minHeight, maxHeight);
}


MVSetView* MVSetWindow::BkgView() const
{
	return dynamic_cast<MVSetView*>(FindView(MVSetView::kName));
}


void MVSetWindow::_PlaceAt(BRect frame)
{
	BPoint origin = _ParentOrigin();
	MoveTo(frame.left + origin.x, frame.top + origin.y);
	ResizeTo(frame.Width(), frame.Height());
}


// Ok: the frame goes with the settings, then the window quits confirmed.
void MVSetWindow::_Confirm()
{
	BRect frame = Frame();
	BPoint origin = _ParentOrigin();
	frame.OffsetBy(-origin.x, -origin.y);
	(void)fSettings.SetRect(kFrameKey, frame);
	fResult = true;
	(void)PostMessage(B_QUIT_REQUESTED);
}


BPoint MVSetWindow::_ParentOrigin() const
{
	if (!fParentMessenger.LockTarget())
		return BPoint(0, 0);
	BPoint origin = fParent->Frame().LeftTop();
	fParent->Unlock();
	return origin;
}
