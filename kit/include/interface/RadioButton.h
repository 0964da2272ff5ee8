#pragma once

// BRadioButton: one of the radio buttons of the same parent view; choosing
// it turns the others off and invokes its message.

#include <interface/Control.h>

class QRadioButton;

class BRadioButton : public BControl {
public:
	BRadioButton(BRect frame, const char* name, const char* label, BMessage* message,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);

	void SetLabel(const char* label) override;
	void SetValue(int32 value) override;
	void SetEnabled(bool enabled) override;
	// Chooses the button as a click does.
	void Click();

private:
	QRadioButton* fButton;
};
