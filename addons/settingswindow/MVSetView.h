#pragma once

// MVSetView: the background of a settings window, "bkg_view", which holds
// the add-on's controls. Escape cancels the window as its Cancel button does.

#include <interface/View.h>

class MVSetView : public BView {
public:
	explicit MVSetView(BRect frame);

	void AttachedToWindow() override;
	void KeyDown(const char* bytes, int32 numBytes) override;

	static constexpr const char* kName = "bkg_view";
};
