#pragma once

// MVJQRestoreWindow: edits a queued restore job's options.

#include "MVJQJobWindow.h"

class MVRestoreOptionsView;

class MVJQRestoreWindow : public MVJQJobWindow {
public:
	MVJQRestoreWindow(BPoint where, const BMessage& record, BMessenger target);

protected:
	void ReadContent(BMessage* record) override;

private:
	MVRestoreOptionsView* fOptions;
};
