// The picture button: a tool button whose icon is a recorded picture.

#include <interface/PictureButton.h>

#include <algorithm>

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPicture>
#include <QPixmap>
#include <QToolButton>

#include "qt/PictureIcon.h"
#include "qt/QtConversions.h"

using MorvaneKit::ToQString;

namespace {

Qt::ToolButtonStyle ToStyle(picture_button_layout layout)
{
	switch (layout) {
		case B_TEXT_ONLY:
			return Qt::ToolButtonTextOnly;
		case B_PICTURE_BESIDE_TEXT:
			return Qt::ToolButtonTextBesideIcon;
		case B_PICTURE_ABOVE_TEXT:
			return Qt::ToolButtonTextUnderIcon;
		default:
			return Qt::ToolButtonIconOnly;
	}
}

}	// namespace


BPictureButton::BPictureButton(BRect frame, const char* name, const BPicture* picture,
	const char* label, BMessage* message, picture_button_layout layout, uint32 resizingMode,
	uint32 flags)
	:
	BControl(frame, name, label, message, resizingMode, flags, new QToolButton),
	fButton(static_cast<QToolButton*>(Widget())),
	fLayout(layout)
{
	if (picture != nullptr)
		fPicture = *picture;
	fButton->setText(ToQString(label));
	fButton->setAutoRaise(true);
	fButton->setToolButtonStyle(ToStyle(layout));
	_UpdateIcon();
	QObject::connect(fButton, &QToolButton::clicked, [this] { Invoke(); });
}


void BPictureButton::SetLabel(const char* label)
{
	BControl::SetLabel(label);
	fButton->setText(ToQString(label));
}


void BPictureButton::SetEnabled(bool enabled)
{
	BControl::SetEnabled(enabled);
	fButton->setEnabled(enabled);
}


void BPictureButton::SetLayout(picture_button_layout layout)
{
	fLayout = layout;
	fButton->setToolButtonStyle(ToStyle(layout));
}


void BPictureButton::SetToolTip(const char* text)
{
	fButton->setToolTip(ToQString(text));
}


void BPictureButton::Click()
{
	if (IsEnabled())
		fButton->click();
}


void BPictureButton::_UpdateIcon()
{
	fButton->setIcon(MorvaneKit::PictureIcon(fPicture));
	fButton->setIconSize(fPicture.Recording()->boundingRect().size());
}
