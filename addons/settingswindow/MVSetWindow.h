#pragma once

// MVSetWindow: the settings window of an add-on. It edits a copy of the
// add-on's settings and, when it goes, posts the reply code with "result"
// (bool: confirmed with Ok) and "settings" (the edited copy) to the result
// handler on the parent window's looper; Cancel, Escape and closing leave
// "result" false. Ok also stores the window's frame, relative to the
// parent's top left, as "winpos"; a window opens where "winpos" says.
//
// The window has a separator, Ok and Cancel at its bottom and the
// background view "bkg_view" (MVSetView) under them, to which subclasses add
// their controls. Texts come from the MVLocale instance: 0 is "Ok", 1 is
// "Cancel".

#include <app/Message.h>
#include <app/Messenger.h>
#include <interface/Window.h>

class BHandler;
class MVLocale;
class MVSetView;

// What the Ok button sends.
constexpr uint32 kSetWindowOk = ' ok ';

class MVSetWindow : public BWindow {
public:
	// target null: the reply goes to the parent window itself.
	MVSetWindow(const char* title, BWindow* parent, BMessage settings, uint32 replyCode,
		BHandler* target, window_look look, window_feel feel, uint32 flags);

	void MessageReceived(BMessage* message) override;
	void Quit() override;

	// A window the user may not resize takes exactly the minimum size; any
	// other grows to it where it is smaller.
	void SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight);
	void GetPref(BMessage* settings) const { *settings = fSettings; }
	void SetPref(BMessage settings) { fSettings = std::move(settings); }
	bool Result() const { return fResult; }

protected:
	MVSetView* BkgView() const;
	MVLocale* Locale() const { return fLocale; }
	BMessage* Settings() { return &fSettings; }

private:
	void _PlaceAt(BRect frame);
	void _AddFrame();
	void _Confirm();
	// The parent's top left, or (0, 0) without a parent.
	BPoint _ParentOrigin() const;

	MVLocale* fLocale;
	BHandler* fTarget;
	BWindow* fParent;
	BMessenger fParentMessenger;
	BMessage fSettings;
	uint32 fReplyCode;
	bool fResult = false;
};
