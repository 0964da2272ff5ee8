#pragma once

// BTextControl: a label and a one-line text field. The message is invoked
// when the user commits the text (Enter, or leaving a changed field); the
// modification message, when set, on every change.

#include <memory>

#include <interface/Control.h>

class QLabel;
class QLineEdit;

class BTextControl : public BControl {
public:
	BTextControl(BRect frame, const char* name, const char* label, const char* text,
		BMessage* message, uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
	~BTextControl() override;

	void SetText(const char* text);
	const char* Text() const;
	void SetLabel(const char* label) override;
	void SetEnabled(bool enabled) override;
	// The x where the text field begins; by default after the label.
	void SetDivider(float divider);
	float Divider() const { return fDivider; }
	void SetModificationMessage(BMessage* message);
	BMessage* ModificationMessage() const { return fModificationMessage.get(); }
	// Hides what is typed, for passwords.
	void SetHidden(bool hidden);
	void SetMaxBytes(int32 maxBytes);
	void MakeFocus(bool focus = true) override;
	// Types the text as the user does, then commits it.
	void TypeText(const char* text);

protected:
	void _FrameChanged() override;

private:
	void _Layout();

	QLabel* fLabelWidget;
	QLineEdit* fField;
	float fDivider;
	mutable std::string fText;
	std::unique_ptr<BMessage> fModificationMessage;
};
