#pragma once

// BCheckBox: on or off; a click toggles it and invokes its message.

#include <interface/Control.h>

class QCheckBox;

class BCheckBox : public BControl {
public:
	BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);

	void SetLabel(const char* label) override;
	void SetValue(int32 value) override;
	void SetEnabled(bool enabled) override;
	// Toggles the box as a click does, invoking the message.
	void Click();

private:
	QCheckBox* fBox;
};
