#pragma once

// MVSettingsSession: the settings window of one add-on object while it is
// open, and the steps every add-on takes around it.
//
// Settings(parent, target, language) of an add-on: without a display it does
// nothing at all. Otherwise, unless its window is open already, it takes a
// copy of its settings with a window frame (SettingsOf) and opens its window
// (Open): the locale speaks the add-on's texts, and the object's handler
// joins the parent window's looper, where the window's reply reaches it. Then the window shows (Show), also when it was open.
// The reply (Closed): a confirmed result goes on to the target on the
// parent's looper after the object took the settings; either way the
// handler leaves the looper and the session forgets the window.
//
// Every call is made on the display's thread. Deleting the session quits a
// window still open; its reply is then lost with the handler.

#include <functional>

#include <app/Message.h>
#include <app/Messenger.h>

class BHandler;
class BLooper;
class BWindow;
class MVLocale;

class MVSettingsSession {
public:
	struct Texts {
		const char* appID;
		const char* const* table;
		int32 count;
	};
	// Makes the add-on's window with the given title, settings and result
	// handler.
	using WindowMaker = std::function<BWindow*(const char* title, const BMessage& settings,
		BHandler* resultHandler)>;

	MVSettingsSession(BHandler* handler, Texts texts, int32 titleText);
	~MVSettingsSession();
	MVSettingsSession(const MVSettingsSession&) = delete;
	MVSettingsSession& operator=(const MVSettingsSession&) = delete;

	// Whether settings windows can be shown at all: a display is open.
	static bool CanShow();
	bool IsOpen() const;
	// The window while it is open.
	BMessenger Window() const { return fWindow; }

	// A copy of an object's settings; the first time, the default frame is
	// added and stored back in the object.
	template<typename Object>
	static BMessage SettingsOf(Object* object)
	{
		BMessage settings;
		object->GetPref(&settings);
		if (AddDefaultFrame(&settings))
			object->SetPref(settings);
		return settings;
	}
	// Adds the default window frame to settings without one; true when added.
	static bool AddDefaultFrame(BMessage* settings);

	// The window's texts are in language when a locale file of the
	// "locale" folder beside the add-on's file has it, else in English.
	void Open(BWindow* parent, BHandler* target, const char* language,
		const BMessage& settings, const WindowMaker& makeWindow);
	void Show();
	// What an add-on's Settings() does: opens its window of class Window
	// (made with title, parent, settings and result handler) on a copy of
	// the object's settings unless it is open, and shows it; nothing
	// without a display.
	template<typename Window, typename Object>
	void OpenFor(Object* object, BWindow* parent, BHandler* target, const char* language)
	{
		if (!CanShow())
			return;
		if (!IsOpen()) {
			Open(parent, target, language, SettingsOf(object),
				[parent](const char* title, const BMessage& settings, BHandler* resultHandler) {
					return new Window(title, parent, settings, resultHandler);
				});
		}
		Show();
	}

	// The settings of a confirmed reply; false for any other reply.
	static bool GetConfirmed(const BMessage* reply, BMessage* settings);
	// Passes a confirmed reply on, leaves the looper, forgets the window.
	void Closed(BMessage* reply, bool confirmed);
	// Takes the window's reply (replyCode) for the object: a confirmed
	// reply's settings become the object's, then the window is closed.
	// False for any other message.
	template<typename Object>
	bool TakeReply(BMessage* message, uint32 replyCode, Object* object)
	{
		if (message->what != replyCode)
			return false;
		BMessage settings;
		bool confirmed = GetConfirmed(message, &settings);
		if (confirmed)
			object->SetPref(settings);
		Closed(message, confirmed);
		return true;
	}

private:
	MVLocale* _UseTexts(const char* language) const;
	void _Join(BLooper* looper);
	void _Leave();
	void _Forget();

	BHandler* fHandler;
	Texts fTexts;
	int32 fTitleText;
	BMessenger fWindow;
	BLooper* fParent = nullptr;
	BHandler* fTarget = nullptr;
};
