#pragma once

// BPictureButton: a button that shows a picture (an icon), optionally with a
// text beside it or below it, as tool bars have them. It invokes its message
// when clicked.

#include <interface/Control.h>
#include <interface/Picture.h>

class QToolButton;

enum picture_button_layout {
	B_PICTURE_ONLY,
	B_TEXT_ONLY,
	B_PICTURE_BESIDE_TEXT,
	B_PICTURE_ABOVE_TEXT,
};

class BPictureButton : public BControl {
public:
	// The picture is copied; a text is the control's label.
	BPictureButton(BRect frame, const char* name, const BPicture* picture,
		const char* label, BMessage* message, picture_button_layout layout = B_PICTURE_ONLY,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);

	void SetLabel(const char* label) override;
	void SetEnabled(bool enabled) override;
	void SetLayout(picture_button_layout layout);
	picture_button_layout Layout() const { return fLayout; }
	// A hint shown when the pointer rests on the button.
	void SetToolTip(const char* text);
	void Click();

private:
	void _UpdateIcon();

	QToolButton* fButton;
	picture_button_layout fLayout;
	BPicture fPicture;
};
