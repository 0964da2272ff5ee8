#pragma once

// MVRestoreOptionsView: the options of a restore ("restore" in its job):
// whether and how existing files are overwritten, asking first, creating
// the root folder and empty folders.

#include <app/Message.h>
#include <interface/View.h>

class BCheckBox;
class BMenuField;

class MVRestoreOptionsView : public BView {
public:
	MVRestoreOptionsView(BRect frame, const BMessage& options);

	// The options the controls show, over the ones given.
	void GetOptions(BMessage* options) const;

private:
	BMenuField* fOverwrite;
	BCheckBox* fAsk;
	BCheckBox* fCreateRoot;
	BCheckBox* fEmptyFolders;
};
