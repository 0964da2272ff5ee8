#pragma once

// MVStatusSettingsWindow: the settings of the running-jobs window. On close
// it sends the main window 'stqt' with "result" (true when confirmed) and
// "settings".

#include <app/Message.h>
#include <app/Messenger.h>
#include "MVDialogWindow.h"

class BCheckBox;
class BTextControl;

class MVStatusSettingsWindow : public MVDialogWindow {
public:
	MVStatusSettingsWindow(const BMessage& settings, BMessenger mainWindow);

	void MessageReceived(BMessage* message) override;

private:
	bool _Store();

	BCheckBox* fAutoOpen;
	BCheckBox* fCloseEmpty;
	BCheckBox* fRemoveFinished;
	BTextControl* fDelay;
	BCheckBox* fFollowMain;
};
