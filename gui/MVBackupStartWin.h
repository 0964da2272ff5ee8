#pragma once

// MVBackupStartWin: the last step before a backup job goes to the server:
// its title, a password for the backup, and whether it waits on hold. On
// close it sends its target 'bsqt' with "result" (true when confirmed) and
// "settings" ("title", "password", "submitonhold").

#include <app/Message.h>
#include <app/Messenger.h>
#include <interface/Window.h>

class BCheckBox;
class BTextControl;

constexpr uint32 kMsgStartWindowReply = 'bsqt';

class MVBackupStartWin : public BWindow {
public:
	MVBackupStartWin(BRect frame, const BMessage& startInfo, BMessenger target);

	void MessageReceived(BMessage* message) override;
	void Quit() override;

private:
	BMessage fStartInfo;
	BMessenger fTarget;
	bool fResult = false;
	BTextControl* fTitle;
	BTextControl* fPassword;
	BCheckBox* fHold;
};
