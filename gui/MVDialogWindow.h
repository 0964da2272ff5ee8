#pragma once

// MVDialogWindow: a small window that edits a settings message and, when it
// closes, sends its target the reply code with "result" (true when the user
// confirmed) and "settings". Subclasses edit Settings() and call Confirm().

#include <app/Message.h>
#include <app/Messenger.h>
#include <interface/Window.h>

class MVDialogWindow : public BWindow {
public:
	MVDialogWindow(BRect frame, const char* title, const BMessage& settings, uint32 replyCode,
		BMessenger target);

	void Quit() override;

protected:
	BMessage& Settings() { return fSettings; }
	const BMessenger& Target() const { return fTarget; }
	// Marks the settings confirmed and closes the window.
	void Confirm();

private:
	BMessage fSettings;
	uint32 fReplyCode;
	BMessenger fTarget;
	bool fResult = false;
};
