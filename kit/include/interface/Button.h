#pragma once

// BButton: a push button that invokes its message when clicked.

#include <interface/Control.h>

class QPushButton;

class BButton : public BControl {
public:
	BButton(BRect frame, const char* name, const char* label, BMessage* message,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);

	void SetLabel(const char* label) override;
	void SetEnabled(bool enabled) override;
	// The default button is pressed by Enter; BWindow::SetDefaultButton()
	// calls this.
	void MakeDefault(bool isDefault);
	bool IsDefault() const;
	// Presses the button as a click does.
	void Click();

private:
	QPushButton* fButton;
};
