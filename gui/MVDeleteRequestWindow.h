#pragma once

// MVDeleteRequestWindow: asks before things are deleted, listing them by
// name; the list follows the selection it was opened for while the window
// is open (kMsgDeleteRequestNames). An optional check box adds a choice to the settings.
// On close it sends its reply code with "result" and "settings".

#include <string>

#include <app/Message.h>
#include <app/Messenger.h>

#include "MVDialogWindow.h"

class BCheckBox;
class BTextView;

constexpr uint32 kMsgDeleteRequestReply = 'drqt';
// To the window: the names to list now ("names").
constexpr uint32 kMsgDeleteRequestNames = 'drnm';
// The check box a delete request may offer.
struct DeleteChoice {
	const char* name = nullptr;    // null: no check box
	const char* label = nullptr;
	const char* key = nullptr;     // int32 0/1 in the settings
};

class MVDeleteRequestWindow : public MVDialogWindow {
public:
	MVDeleteRequestWindow(BPoint where, const char* title, const char* question,
		const std::string& names, const BMessage& settings, uint32 replyCode,
		BMessenger target, DeleteChoice choice = DeleteChoice());

	void MessageReceived(BMessage* message) override;

private:
	void SetNames(const std::string& names);

	BTextView* fNames;
	BCheckBox* fChoice = nullptr;
	const char* fChoiceKey;
};
