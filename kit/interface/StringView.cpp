// The text label and the box.

#include <interface/Box.h>
#include <interface/StringView.h>

#include <QLabel>

#include "qt/QtConversions.h"

using MorvaneKit::ToQColor;
using MorvaneKit::ToQFont;
using MorvaneKit::ToQString;

BStringView::BStringView(BRect frame, const char* name, const char* text,
	uint32 resizingMode, uint32 flags)
	:
	BView(frame, name, resizingMode, flags, new QLabel),
	fLabel(static_cast<QLabel*>(Widget())),
	fText(text != nullptr ? text : "")
{
	fLabel->setText(ToQString(text));
	fLabel->setTextFormat(Qt::PlainText);
	fLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}


void BStringView::SetText(const char* text)
{
	fText = text != nullptr ? text : "";
	fLabel->setText(ToQString(text));
}


void BStringView::SetAlignment(alignment flag)
{
	fAlignment = flag;
	Qt::Alignment horizontal = flag == B_ALIGN_RIGHT ? Qt::AlignRight
		: flag == B_ALIGN_CENTER ? Qt::AlignHCenter : Qt::AlignLeft;
	fLabel->setAlignment(horizontal | Qt::AlignVCenter);
}


void BStringView::SetFont(const BFont* font)
{
	BView::SetFont(font);
}


void BStringView::SetTextColor(rgb_color color)
{
	QPalette palette = fLabel->palette();
	palette.setColor(QPalette::WindowText, ToQColor(color));
	fLabel->setPalette(palette);
}


BBox::BBox(BRect frame, const char* name, uint32 resizingMode, uint32 flags,
	border_style border)
	:
	BView(frame, name, resizingMode, flags),
	fBorder(border)
{
	Widget()->setAutoFillBackground(false);
}


void BBox::SetLabel(const char* label)
{
	fLabel = label != nullptr ? label : "";
	Invalidate();
}


void BBox::SetBorder(border_style border)
{
	fBorder = border;
	Invalidate();
}


void BBox::Draw(BRect updateRect)
{
	if (fBorder == B_NO_BORDER)
		return;
	BRect bounds = Bounds();
	float top = 0;
	if (!fLabel.empty()) {
		BFont font;
		GetFont(&font);
		top = font.LineHeight() / 2;
	}
	rgb_color dark = make_color(152, 152, 152);
	rgb_color light = make_color(255, 255, 255);
	if (bounds.Height() < 2 || bounds.Width() < 2) {
		// A separator line.
		SetHighColor(dark);
		FillRect(bounds);
		return;
	}
	BRect frame(0, top, bounds.right - 1, bounds.bottom - 1);
	if (fBorder == B_FANCY_BORDER) {
		SetHighColor(light);
		StrokeRect(frame.OffsetBy(1, 1));
		frame.OffsetBy(-1, -1);
	}
	SetHighColor(dark);
	StrokeRect(frame);
	if (!fLabel.empty()) {
		float width = StringWidth(fLabel.c_str());
		SetHighColor(ViewColor());
		FillRect(BRect(8, 0, 14 + width, top * 2));
		SetHighColor(make_color(0, 0, 0));
		BFont font;
		GetFont(&font);
		DrawString(fLabel.c_str(), BPoint(11, font.Size()));
	}
}
