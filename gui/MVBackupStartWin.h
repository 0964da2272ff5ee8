#pragma once

// MVBackupStartWin: the last step before a backup job goes to the server:
// its title, a password for the backup, and whether it waits on hold. On
// close it sends its target 'bsqt' with "result" (true when confirmed) and
// "settings" ("title", "password", "submitonhold").

#include <app/Message.h>
#include <app/Messenger.h>
#include "MVDialogWindow.h"

class BCheckBox;
class BTextControl;

constexpr uint32 kMsgStartWindowReply = 'bsqt';

class MVBackupStartWin : public MVDialogWindow {
public:
	MVBackupStartWin(BRect frame, const BMessage& startInfo, BMessenger target);

	void MessageReceived(BMessage* message) override;

private:
	BTextControl* fTitle;
	BTextControl* fPassword;
	BCheckBox* fHold;
};
