#include <interface/Control.h>

#include <QWidget>

#include <app/Message.h>
#include <interface/Window.h>

BControl::BControl(BRect frame, const char* name, const char* label, BMessage* message,
	uint32 resizingMode, uint32 flags)
	:
	BControl(frame, name, label, message, resizingMode, flags, nullptr)
{
}


BControl::BControl(BRect frame, const char* name, const char* label, BMessage* message,
	uint32 resizingMode, uint32 flags, QWidget* widget)
	:
	BView(frame, name, resizingMode, flags, widget),
	BInvoker(message),
	fLabel(label != nullptr ? label : "")
{
}


BControl::~BControl() = default;


void BControl::SetLabel(const char* label)
{
	fLabel = label != nullptr ? label : "";
	Invalidate();
}


void BControl::SetValue(int32 value)
{
	fValue = value;
	Invalidate();
}


void BControl::SetEnabled(bool enabled)
{
	fEnabled = enabled;
	SetEnabledLook(enabled);
}


status_t BControl::Invoke(BMessage* message)
{
	BMessage* source = message != nullptr ? message : Message();
	if (source == nullptr)
		return B_BAD_VALUE;
	BMessage copy(*source);
	if (!copy.HasData("be:value", B_INT32_TYPE))
		copy.AddInt32("be:value", fValue);
	return BInvoker::Invoke(&copy);
}


BLooper* BControl::_DefaultLooper() const
{
	return Window();
}
