#pragma once

// MVDirFilePanel: a floating panel that picks one folder. Open chooses the
// selected folder (B_REFS_RECEIVED); the button "current dir button"
// chooses the folder shown, sending kDirPanelSelect with "refs" = that
// folder. Both go to the panel's target.

#include <interface/FilePanel.h>

class BButton;

constexpr uint32 kDirPanelSelect = 'slct';

class MVDirFilePanel : public BFilePanel {
public:
	// The filter stays the caller's.
	MVDirFilePanel(BMessenger* target, BRefFilter* filter);

	void SelectionChanged() override;

private:
	BButton* fCurrentButton = nullptr;
};
