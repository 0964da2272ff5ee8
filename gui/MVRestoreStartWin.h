#pragma once

// MVRestoreStartWin: the last step before a restore or compare job goes to
// the server: its title, whether it waits on hold, and the password of each
// protected backup it reads, typed into the list's "Password" column. Ok
// checks every password with the server ('mvpc'); a wrong one keeps the
// window open and shows its row. On close it sends its reply code with
// "result" and "settings" ("title", "submitonhold", one "pw" per backup in
// the order given).

#include <string>
#include <vector>

#include <app/Message.h>
#include <app/Messenger.h>

#include "MVDialogWindow.h"

class BCheckBox;
class BColumnListView;
class BTextControl;

class MVRestoreStartWin : public MVDialogWindow {
public:
	// protectedBackups: the catalogue names of the protected backups read.
	MVRestoreStartWin(BPoint where, const char* title, const BMessage& startInfo,
		const std::vector<std::string>& protectedBackups, uint32 replyCode,
		BMessenger target);

	void MessageReceived(BMessage* message) override;
	// Shows another set of protected backups, keeping passwords typed.
	void SetBackups(const std::vector<std::string>& protectedBackups);

private:
	void _Confirm();
	// The row of the first backup whose password the server refuses, or -1.
	int32 _WrongPassword();

	BTextControl* fTitle;
	BCheckBox* fHold;
	BColumnListView* fPasswords = nullptr;
	std::vector<std::string> fBackups;
};
