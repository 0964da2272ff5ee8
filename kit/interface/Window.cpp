#include <interface/Window.h>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QResizeEvent>

#include <app/Message.h>
#include <interface/Button.h>
#include <interface/MenuBar.h>
#include <interface/View.h>

#include "app/LooperAccess.h"
#include "qt/QtConversions.h"
#include "qt/ViewWidget.h"
#include "qt/WindowWidget.h"

using MorvaneKit::LooperAccess;
using MorvaneKit::ToQRect;
using MorvaneKit::ToQString;

namespace {

struct LookAndFeel {
	window_look look;
	window_feel feel;
};

LookAndFeel FromType(window_type type)
{
	switch (type) {
		case B_MODAL_WINDOW:
			return {B_MODAL_WINDOW_LOOK, B_MODAL_APP_WINDOW_FEEL};
		case B_DOCUMENT_WINDOW:
			return {B_DOCUMENT_WINDOW_LOOK, B_NORMAL_WINDOW_FEEL};
		case B_BORDERED_WINDOW:
			return {B_BORDERED_WINDOW_LOOK, B_NORMAL_WINDOW_FEEL};
		case B_FLOATING_WINDOW:
			return {B_FLOATING_WINDOW_LOOK, B_FLOATING_APP_WINDOW_FEEL};
		default:
			return {B_TITLED_WINDOW_LOOK, B_NORMAL_WINDOW_FEEL};
	}
}

}	// namespace


namespace MorvaneKit {

void WindowWidget::closeEvent(QCloseEvent* event)
{
	// The window decides: it quits when QuitRequested() agrees.
	event->ignore();
	if (fWindow != nullptr)
		fWindow->_UserClosed();
}


void WindowWidget::resizeEvent(QResizeEvent* event)
{
	if (fWindow != nullptr)
		fWindow->_UserResized(float(event->size().width() - 1), float(event->size().height() - 1));
}


void WindowWidget::moveEvent(QMoveEvent* event)
{
	if (fWindow != nullptr)
		fWindow->FrameMoved(BPoint(float(event->pos().x()), float(event->pos().y())));
}


void WindowWidget::keyPressEvent(QKeyEvent* event)
{
	std::string bytes = KeyBytes(event->key(), event->text());
	if (fWindow == nullptr || bytes.empty()) {
		QWidget::keyPressEvent(event);
		return;
	}
	fWindow->_UnhandledKey(bytes.c_str(), int32(bytes.size()));
}


void WindowWidget::changeEvent(QEvent* event)
{
	if (fWindow != nullptr && event->type() == QEvent::ActivationChange)
		fWindow->WindowActivated(isActiveWindow());
	QWidget::changeEvent(event);
}

}	// namespace MorvaneKit


BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags,
	uint32 workspace)
	:
	BLooper(title)
{
	LookAndFeel lookAndFeel = FromType(type);
	_Init(frame, title, lookAndFeel.look, lookAndFeel.feel, flags);
}


BWindow::BWindow(BRect frame, const char* title, window_look look, window_feel feel,
	uint32 flags, uint32 workspace)
	:
	BLooper(title)
{
	_Init(frame, title, look, feel, flags);
}


void BWindow::_Init(BRect frame, const char* title, window_look look, window_feel feel,
	uint32 flags)
{
	fTitle = title != nullptr ? title : "";
	fLook = look;
	fFeel = feel;
	fFlags = flags;
	fWidget = new MorvaneKit::WindowWidget(this);
	fWidget->setWindowTitle(ToQString(title));
	fWidget->setGeometry(ToQRect(frame));
	fTop = new BView(Bounds(), "_top_", B_FOLLOW_ALL, 0);
	fTop->fWidget->setParent(fWidget);
	fTop->_ApplyGeometry();
	fTop->fWidget->show();
	fTop->_Attach(this);
	_ApplyWindowFlags();
	MorvaneKit::RegisterWindow(this, true);
}


BWindow::~BWindow()
{
	MorvaneKit::RegisterWindow(this, false);
	fWidget->Forget();
	fTop->_Detach();
	delete fTop;
	fTop = nullptr;
	delete fWidget;
}


void BWindow::_ApplyWindowFlags()
{
	Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
	if (fLook != B_NO_BORDER_WINDOW_LOOK && fLook != B_BORDERED_WINDOW_LOOK)
		flags |= Qt::WindowTitleHint;
	else
		flags |= Qt::FramelessWindowHint;
	if ((fFlags & B_NOT_CLOSABLE) == 0)
		flags |= Qt::WindowCloseButtonHint;
	if ((fFlags & B_NOT_MINIMIZABLE) == 0)
		flags |= Qt::WindowMinimizeButtonHint;
	if ((fFlags & (B_NOT_ZOOMABLE | B_NOT_RESIZABLE)) == 0)
		flags |= Qt::WindowMaximizeButtonHint;
	bool floating = fFeel == B_FLOATING_APP_WINDOW_FEEL || fFeel == B_FLOATING_SUBSET_WINDOW_FEEL
		|| fFeel == B_FLOATING_ALL_WINDOW_FEEL;
	if (floating)
		flags |= Qt::Tool;
	if (fFeel == B_FLOATING_ALL_WINDOW_FEEL || fFeel == B_MODAL_ALL_WINDOW_FEEL)
		flags |= Qt::WindowStaysOnTopHint;
	fWidget->setWindowFlags(flags);
	if (fFeel == B_MODAL_APP_WINDOW_FEEL || fFeel == B_MODAL_ALL_WINDOW_FEEL)
		fWidget->setWindowModality(Qt::ApplicationModal);
	else if (fFeel == B_MODAL_SUBSET_WINDOW_FEEL)
		fWidget->setWindowModality(Qt::WindowModal);
	SetSizeLimits(fMinWidth, fMaxWidth, fMinHeight, fMaxHeight);
}


thread_id BWindow::Run()
{
	if (fRunning)
		return B_BUSY;
	fRunning = true;
	port_id port = Port();
	LooperAccess::DriveFromEventLoop(this, [port] { MorvaneKit::ScheduleDispatch(port); });
	// Whatever was posted before the window ran is dispatched now.
	MorvaneKit::ScheduleDispatch(port);
	return find_thread(nullptr);
}


void BWindow::Quit()
{
	fWidget->hide();
	while (IsLocked())
		Unlock();
	// A window not in the middle of one of its own messages goes at once,
	// so that whoever quits it may unload the code it runs right after.
	if (!fRunning || !LooperAccess::IsDispatching(this)) {
		delete this;
		return;
	}
	// Quit from inside its own message: it is deleted from the event loop
	// once that message is done; what is still queued is dropped.
	LooperAccess::MarkTerminating(this);
	MorvaneKit::ScheduleDispatch(Port());
}


bool BWindow::QuitRequested()
{
	return true;
}


void BWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
	BLooper::DispatchMessage(message, handler);
}


void BWindow::MessageReceived(BMessage* message)
{
	BLooper::MessageReceived(message);
}


void BWindow::Show()
{
	if (!fRunning)
		Run();
	if (fShowLevel > 0)
		fShowLevel--;
	if (fShowLevel == 0) {
		fWidget->show();
		_Raise();
	}
}


void BWindow::Hide()
{
	fShowLevel++;
	fWidget->hide();
}


bool BWindow::IsHidden() const
{
	return fShowLevel > 0;
}


void BWindow::Activate(bool active)
{
	if (active && fShowLevel == 0) {
		_Raise();
		fWidget->activateWindow();
	}
}


bool BWindow::IsActive() const
{
	return fWidget->isActiveWindow();
}


void BWindow::FrameMoved(BPoint where)
{
}


void BWindow::FrameResized(float width, float height)
{
}


void BWindow::WindowActivated(bool active)
{
}


void BWindow::AddChild(BView* child, BView* before)
{
	fTop->AddChild(child, before);
}


bool BWindow::RemoveChild(BView* child)
{
	return fTop->RemoveChild(child);
}


int32 BWindow::CountChildren() const
{
	return fTop->CountChildren();
}


BView* BWindow::ChildAt(int32 index) const
{
	return fTop->ChildAt(index);
}


BView* BWindow::FindView(const char* name) const
{
	for (int32 index = 0; index < fTop->CountChildren(); index++) {
		if (BView* found = fTop->ChildAt(index)->FindView(name))
			return found;
	}
	return nullptr;
}


BView* BWindow::CurrentFocus() const
{
	return fFocus;
}


BRect BWindow::Frame() const
{
	QRect geometry = fWidget->geometry();
	return BRect(geometry.left(), geometry.top(), geometry.left() + geometry.width() - 1,
		geometry.top() + geometry.height() - 1);
}


BRect BWindow::Bounds() const
{
	BRect frame = Frame();
	return BRect(0, 0, frame.Width(), frame.Height());
}


void BWindow::MoveTo(BPoint where)
{
	// The frame is the content area; a border lies outside it.
	QRect geometry = fWidget->geometry();
	geometry.moveTo(int(where.x), int(where.y));
	fWidget->setGeometry(geometry);
}


void BWindow::MoveBy(float dx, float dy)
{
	BRect frame = Frame();
	MoveTo(frame.left + dx, frame.top + dy);
}


void BWindow::ResizeTo(float width, float height)
{
	width = std::clamp(width, fMinWidth, fMaxWidth);
	height = std::clamp(height, fMinHeight, fMaxHeight);
	// The user may not resize some windows; the program still may.
	_ApplySizeLimits(width, height);
	fWidget->resize(int(width) + 1, int(height) + 1);
	// Offscreen and hidden windows get no resize event before they show.
	_UserResized(width, height);
}


void BWindow::ResizeBy(float dx, float dy)
{
	BRect bounds = Bounds();
	ResizeTo(bounds.Width() + dx, bounds.Height() + dy);
}


void BWindow::SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight)
{
	fMinWidth = std::max(0.0f, minWidth);
	fMaxWidth = std::max(fMinWidth, maxWidth);
	fMinHeight = std::max(0.0f, minHeight);
	fMaxHeight = std::max(fMinHeight, maxHeight);
	BRect bounds = Bounds();
	_ApplySizeLimits(bounds.Width(), bounds.Height());
}


// The limits of the widget for a window of that size.
void BWindow::_ApplySizeLimits(float width, float height)
{
	if ((fFlags & B_NOT_RESIZABLE) != 0) {
		fWidget->setFixedSize(int(width) + 1, int(height) + 1);
		return;
	}
	fWidget->setMinimumSize(int(fMinWidth) + 1, int(fMinHeight) + 1);
	fWidget->setMaximumSize(int(std::min(fMaxWidth, 16000.0f)) + 1,
		int(std::min(fMaxHeight, 16000.0f)) + 1);
	if ((fFlags & B_NOT_H_RESIZABLE) != 0)
		fWidget->setFixedWidth(int(width) + 1);
	if ((fFlags & B_NOT_V_RESIZABLE) != 0)
		fWidget->setFixedHeight(int(height) + 1);
}


void BWindow::GetSizeLimits(float* minWidth, float* maxWidth, float* minHeight,
	float* maxHeight) const
{
	if (minWidth != nullptr)
		*minWidth = fMinWidth;
	if (maxWidth != nullptr)
		*maxWidth = fMaxWidth;
	if (minHeight != nullptr)
		*minHeight = fMinHeight;
	if (maxHeight != nullptr)
		*maxHeight = fMaxHeight;
}


void BWindow::SetTitle(const char* title)
{
	fTitle = title != nullptr ? title : "";
	SetName(fTitle.c_str());
	fWidget->setWindowTitle(ToQString(title));
}


void BWindow::SetDefaultButton(BButton* button)
{
	if (fDefaultButton != nullptr)
		fDefaultButton->MakeDefault(false);
	fDefaultButton = button;
	if (button != nullptr)
		button->MakeDefault(true);
}


void BWindow::SetOwner(BWindow* owner)
{
	fOwner = owner;
	// A floating or modal window stays above the window it belongs to.
	Qt::WindowFlags flags = fWidget->windowFlags();
	fWidget->setParent(owner != nullptr ? owner->fWidget : nullptr, flags);
}


status_t BWindow::SaveImage(const char* path) const
{
	if (path == nullptr)
		return B_BAD_VALUE;
	QPixmap image = fWidget->grab();
	return image.save(ToQString(path), "PNG") ? B_OK : B_IO_ERROR;
}


void BWindow::_Raise()
{
	// A display without a screen has no stacking to change.
	if (QGuiApplication::platformName() != QLatin1String("offscreen"))
		fWidget->raise();
}


QWidget* BWindow::Widget() const
{
	return fWidget;
}


void BWindow::_UserClosed()
{
	(void)PostMessage(B_QUIT_REQUESTED);
}


void BWindow::_UserResized(float width, float height)
{
	BRect old = fTop->Frame();
	if (old.Width() == width && old.Height() == height)
		return;
	fTop->ResizeTo(width, height);
	FrameResized(width, height);
}


void BWindow::_UnhandledKey(const char* bytes, int32 numBytes)
{
	if (fFocus != nullptr && !fFocus->Widget()->hasFocus())
		fFocus->KeyDown(bytes, numBytes);
	else if (bytes[0] == B_ENTER && fDefaultButton != nullptr && numBytes == 1)
		fDefaultButton->Invoke();
}


void BWindow::_ViewDetached(BView* view)
{
	if (fFocus == view)
		fFocus = nullptr;
	if (fDefaultButton != nullptr && static_cast<BView*>(fDefaultButton) == view)
		fDefaultButton = nullptr;
	if (fKeyMenuBar != nullptr && static_cast<BView*>(fKeyMenuBar) == view)
		fKeyMenuBar = nullptr;
}
