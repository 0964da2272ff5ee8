// The push button, check box and radio button over Qt's.

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/RadioButton.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "qt/QtConversions.h"

using MorvaneKit::ToQString;

BButton::BButton(BRect frame, const char* name, const char* label, BMessage* message,
	uint32 resizingMode, uint32 flags)
	:
	BControl(frame, name, label, message, resizingMode, flags, new QPushButton),
	fButton(static_cast<QPushButton*>(Widget()))
{
	fButton->setText(ToQString(label));
	fButton->setAutoDefault(false);
	QObject::connect(fButton, &QPushButton::clicked, [this] { Invoke(); });
}


void BButton::SetLabel(const char* label)
{
	BControl::SetLabel(label);
	fButton->setText(ToQString(label));
}


void BButton::SetEnabled(bool enabled)
{
	BControl::SetEnabled(enabled);
	fButton->setEnabled(enabled);
}


void BButton::MakeDefault(bool isDefault)
{
	fButton->setDefault(isDefault);
}


bool BButton::IsDefault() const
{
	return fButton->isDefault();
}


void BButton::Click()
{
	if (IsEnabled())
		fButton->click();
}


BCheckBox::BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
	uint32 resizingMode, uint32 flags)
	:
	BControl(frame, name, label, message, resizingMode, flags, new QCheckBox),
	fBox(static_cast<QCheckBox*>(Widget()))
{
	fBox->setText(ToQString(label));
	// Only the user's clicks invoke; SetValue() does not.
	QObject::connect(fBox, &QCheckBox::clicked, [this](bool checked) {
		_SetValueQuietly(checked ? B_CONTROL_ON : B_CONTROL_OFF);
		Invoke();
	});
}


void BCheckBox::SetLabel(const char* label)
{
	BControl::SetLabel(label);
	fBox->setText(ToQString(label));
}


void BCheckBox::SetValue(int32 value)
{
	BControl::SetValue(value != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
	fBox->setChecked(value != 0);
}


void BCheckBox::SetEnabled(bool enabled)
{
	BControl::SetEnabled(enabled);
	fBox->setEnabled(enabled);
}


void BCheckBox::Click()
{
	if (IsEnabled())
		fBox->click();
}


BRadioButton::BRadioButton(BRect frame, const char* name, const char* label,
	BMessage* message, uint32 resizingMode, uint32 flags)
	:
	BControl(frame, name, label, message, resizingMode, flags, new QRadioButton),
	fButton(static_cast<QRadioButton*>(Widget()))
{
	fButton->setText(ToQString(label));
	QObject::connect(fButton, &QRadioButton::toggled, [this](bool checked) {
		_SetValueQuietly(checked ? B_CONTROL_ON : B_CONTROL_OFF);
	});
	QObject::connect(fButton, &QRadioButton::clicked, [this] { Invoke(); });
}


void BRadioButton::SetLabel(const char* label)
{
	BControl::SetLabel(label);
	fButton->setText(ToQString(label));
}


void BRadioButton::SetValue(int32 value)
{
	BControl::SetValue(value != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
	fButton->setChecked(value != 0);
}


void BRadioButton::SetEnabled(bool enabled)
{
	BControl::SetEnabled(enabled);
	fButton->setEnabled(enabled);
}


void BRadioButton::Click()
{
	if (IsEnabled())
		fButton->click();
}
