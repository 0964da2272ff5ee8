#pragma once

// MVLogSettingWindow: the "Report Settings" window of the report viewer: the
// text view's font (sent live to the viewer as 'RFON' and 'RFSZ'), which
// line types it shows, and the report store's pruning rule, sent to the
// server on OK. On close it sends the viewer 'RWQT' with "result" (true when
// confirmed) and "settings" (the "report" settings).

#include <app/Message.h>
#include <app/Messenger.h>
#include "MVDialogWindow.h"

class BCheckBox;
class BMenuField;
class BRadioButton;
class BTextControl;

constexpr uint32 kMsgLogSettingsClosed = 'RWQT';
constexpr uint32 kMsgLogFontChanged = 'RFON';
constexpr uint32 kMsgLogSizeChanged = 'RFSZ';

class MVLogSettingWindow : public MVDialogWindow {
public:
	// policy: the store's pruning rule as the server gave it ("mode",
	// "days", "count", "overwrite").
	MVLogSettingWindow(BRect frame, const BMessage& settings, const BMessage& policy,
		BMessenger viewer);

	void MessageReceived(BMessage* message) override;

	// The line types the filter offers, in the order of its check boxes.
	static const int32 kFilterTypes[];
	static const int32 kFilterTypeCount;

private:
	void _AddFontMenus(BView* background);
	void _AddFilter(BView* background);
	void _AddPolicy(BView* background, const BMessage& policy);
	void _EnableFields();
	bool _Confirm();

	BMenuField* fFamily;
	BMenuField* fSize;
	BCheckBox* fFilter[9];
	BRadioButton* fModes[3];
	BTextControl* fDays;
	BTextControl* fCount;
	BCheckBox* fOverwrite;
};
