#pragma once

// BWindow: a window on the screen and a looper with its own queue. Windows
// are dispatched from the display's event loop on the main thread (see
// Display.h), one message at a time per window, with the window locked; a
// window that waits (an alert it shows) holds back only its own queue.
//
// Show() runs the window the first time. Quit() deletes the window at once,
// or, called from inside one of the window's own messages, once that message
// is done; messages still queued are dropped. A window closed by the user gets B_QUIT_REQUESTED and quits when
// QuitRequested() agrees.
//
// The frame is the content area in screen coordinates; Frame() and
// Bounds() follow BRect's inclusive ends.

#include <functional>
#include <string>

#include <app/Looper.h>
#include <interface/InterfaceDefs.h>
#include <interface/Rect.h>

class BButton;
class BMenuBar;
class BView;
class QWidget;

namespace MorvaneKit {
class WindowWidget;
}

class BWindow : public BLooper {
public:
	BWindow(BRect frame, const char* title, window_type type, uint32 flags,
		uint32 workspace = B_CURRENT_WORKSPACE);
	BWindow(BRect frame, const char* title, window_look look, window_feel feel,
		uint32 flags, uint32 workspace = B_CURRENT_WORKSPACE);
	~BWindow() override;

	thread_id Run() override;
	void Quit() override;
	bool QuitRequested() override;
	void DispatchMessage(BMessage* message, BHandler* handler) override;
	void MessageReceived(BMessage* message) override;

	virtual void Show();
	virtual void Hide();
	bool IsHidden() const;
	void Activate(bool active = true);
	bool IsActive() const;
	virtual void FrameMoved(BPoint where);
	virtual void FrameResized(float width, float height);
	virtual void WindowActivated(bool active);

	void AddChild(BView* child, BView* before = nullptr);
	bool RemoveChild(BView* child);
	int32 CountChildren() const;
	BView* ChildAt(int32 index) const;
	// The first view of that name among all the window's views.
	BView* FindView(const char* name) const;
	BView* CurrentFocus() const;

	BRect Frame() const;
	BRect Bounds() const;
	void MoveTo(BPoint where);
	void MoveTo(float x, float y) { MoveTo(BPoint(x, y)); }
	void MoveBy(float dx, float dy);
	void ResizeTo(float width, float height);
	void ResizeBy(float dx, float dy);
	void SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight);
	void GetSizeLimits(float* minWidth, float* maxWidth, float* minHeight,
		float* maxHeight) const;

	void SetTitle(const char* title);
	const char* Title() const { return fTitle.c_str(); }
	window_look Look() const { return fLook; }
	window_feel Feel() const { return fFeel; }
	uint32 Flags() const { return fFlags; }
	void SetDefaultButton(BButton* button);
	BButton* DefaultButton() const { return fDefaultButton; }
	void SetKeyMenuBar(BMenuBar* bar) { fKeyMenuBar = bar; }
	BMenuBar* KeyMenuBar() const { return fKeyMenuBar; }
	// The window whose windows this one floats above or is modal to.
	void SetOwner(BWindow* owner);

	// Saves what the window shows as a PNG file; for tests and the manual.
	status_t SaveImage(const char* path) const;
	// The top-level widget, for the kit's own classes.
	QWidget* Widget() const;

private:
	friend class BView;
	friend class MorvaneKit::WindowWidget;

	void _Init(BRect frame, const char* title, window_look look, window_feel feel,
		uint32 flags);
	void _ApplyWindowFlags();
	void _ApplySizeLimits(float width, float height);
	void _Raise();
	void _UserClosed();
	void _UserResized(float width, float height);
	void _UnhandledKey(const char* bytes, int32 numBytes);
	void _ViewDetached(BView* view);

	MorvaneKit::WindowWidget* fWidget;
	BView* fTop;
	std::string fTitle;
	window_look fLook;
	window_feel fFeel;
	uint32 fFlags;
	BButton* fDefaultButton = nullptr;
	BMenuBar* fKeyMenuBar = nullptr;
	BWindow* fOwner = nullptr;
	BView* fFocus = nullptr;
	float fMinWidth = 0;
	float fMaxWidth = 32768;
	float fMinHeight = 0;
	float fMaxHeight = 32768;
	int32 fShowLevel = 1;
	bool fRunning = false;
};
