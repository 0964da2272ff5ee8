#pragma once

// MVRequestWindow: a question of a running job (a medium to insert, a file
// to overwrite): its text and up to three buttons. The chosen button goes
// back to the server as the job's reply with "which"; closing the window
// without a choice sends nothing. Either way the main window learns that
// the window with this title is gone.

#include <string>

#include <app/Message.h>
#include <app/Messenger.h>
#include <interface/Window.h>

class MVRequestWindow : public BWindow {
public:
	// labels: three button texts, null for none.
	MVRequestWindow(const char* title, const char* text, const char* const labels[3],
		int32 type, const BMessage& reply, BMessenger mainWindow);

	void MessageReceived(BMessage* message) override;
	void Quit() override;

private:
	std::string fTitleText;
	BMessage fReply;
	BMessenger fMainWindow;
	int32 fChosen = -1;
};
