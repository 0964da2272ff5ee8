#pragma once

// BControl: a view the user sets (a button, a check box, a text field) that
// invokes its message when set. The message goes to the target, by default
// the control's window; the copy carries "when", "source" (the control) and
// "be:value" (int32, the control's value).

#include <string>

#include <app/Invoker.h>
#include <interface/View.h>

class BControl : public BView, public BInvoker {
public:
	BControl(BRect frame, const char* name, const char* label, BMessage* message,
		uint32 resizingMode, uint32 flags);
	~BControl() override;

	virtual void SetLabel(const char* label);
	const char* Label() const { return fLabel.c_str(); }
	virtual void SetValue(int32 value);
	int32 Value() const { return fValue; }
	virtual void SetEnabled(bool enabled);
	bool IsEnabled() const { return fEnabled; }
	status_t Invoke(BMessage* message = nullptr) override;

protected:
	BControl(BRect frame, const char* name, const char* label, BMessage* message,
		uint32 resizingMode, uint32 flags, QWidget* widget);
	BLooper* _DefaultLooper() const override;
	const void* _Source() const override { return static_cast<const BControl*>(this); }
	// Sets the value without showing it; for the widget's own changes.
	void _SetValueQuietly(int32 value) { fValue = value; }

private:
	std::string fLabel;
	int32 fValue = 0;
	bool fEnabled = true;
};
