#include <interface/TextControl.h>

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <app/Message.h>

#include "qt/QtConversions.h"

using MorvaneKit::FromQString;
using MorvaneKit::ToQString;

BTextControl::BTextControl(BRect frame, const char* name, const char* label,
	const char* text, BMessage* message, uint32 resizingMode, uint32 flags)
	:
	BControl(frame, name, label, message, resizingMode, flags, new QWidget),
	fLabelWidget(new QLabel(Widget())),
	fField(new QLineEdit(Widget()))
{
	fLabelWidget->setText(ToQString(label));
	fField->setText(ToQString(text));
	fField->setObjectName(QStringLiteral("text_field"));
	bool hasLabel = label != nullptr && label[0] != '\0';
	fDivider = hasLabel ? StringWidth(label) + 8 : 0;
	QObject::connect(fField, &QLineEdit::editingFinished, [this] {
		if (fField->isModified()) {
			fField->setModified(false);
			Invoke();
		}
	});
	QObject::connect(fField, &QLineEdit::textEdited, [this] {
		if (fModificationMessage != nullptr)
			BControl::Invoke(fModificationMessage.get());
	});
	_Layout();
}


BTextControl::~BTextControl() = default;


void BTextControl::SetText(const char* text)
{
	fField->setText(ToQString(text));
	fField->setModified(false);
}


const char* BTextControl::Text() const
{
	fText = FromQString(fField->text());
	return fText.c_str();
}


void BTextControl::SetLabel(const char* label)
{
	BControl::SetLabel(label);
	fLabelWidget->setText(ToQString(label));
}


void BTextControl::SetEnabled(bool enabled)
{
	BControl::SetEnabled(enabled);
	fField->setEnabled(enabled);
}


void BTextControl::SetDivider(float divider)
{
	fDivider = divider < 0 ? 0 : divider;
	_Layout();
}


void BTextControl::SetModificationMessage(BMessage* message)
{
	fModificationMessage.reset(message);
}


void BTextControl::SetHidden(bool hidden)
{
	fField->setEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
}


void BTextControl::SetMaxBytes(int32 maxBytes)
{
	fField->setMaxLength(maxBytes > 0 ? maxBytes : 32767);
}


void BTextControl::MakeFocus(bool focus)
{
	BView::MakeFocus(focus);
	if (focus)
		fField->setFocus(Qt::OtherFocusReason);
}


void BTextControl::TypeText(const char* text)
{
	fField->setText(ToQString(text));
	fField->setModified(true);
	if (fModificationMessage != nullptr)
		BControl::Invoke(fModificationMessage.get());
	emit fField->editingFinished();
}


void BTextControl::_FrameChanged()
{
	_Layout();
}


void BTextControl::_Layout()
{
	BRect bounds = Bounds();
	int height = int(bounds.Height()) + 1;
	fLabelWidget->setGeometry(0, 0, int(fDivider), height);
	fLabelWidget->setVisible(fDivider > 0);
	fField->setGeometry(int(fDivider), 0, int(bounds.Width() - fDivider) + 1, height);
}
