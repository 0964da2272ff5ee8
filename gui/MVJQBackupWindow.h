#pragma once

// MVJQBackupWindow: edits a queued backup job with the backup tool's own
// controls: the source tree, add-ons, mode, base job and schedule.

#include "MVJQJobWindow.h"

class MVBackupView;

class MVJQBackupWindow : public MVJQJobWindow {
public:
	MVJQBackupWindow(BPoint where, const BMessage& record, BMessenger target);

protected:
	void ReadContent(BMessage* record) override;

private:
	MVBackupView* fSettingsView;
};
