// The status bar: two lines of text over a progress bar.

#include <interface/StatusBar.h>

#include <algorithm>

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include "qt/QtConversions.h"

using MorvaneKit::ToQColor;
using MorvaneKit::ToQString;

namespace {

// The bar shows the value in thousandths of the maximum.
constexpr int kBarSteps = 1000;

std::string Joined(const std::string& first, const std::string& second)
{
	if (first.empty())
		return second;
	if (second.empty())
		return first;
	return first + " " + second;
}

}	// namespace


// A child object of the bar's widget, so that Qt deletes it with the widget.
class BStatusBar::Parts : public QObject {
public:
	explicit Parts(QWidget* parent)
		:
		QObject(parent),
		leading(new QLabel(parent)),
		trailing(new QLabel(parent)),
		bar(new QProgressBar(parent))
	{
		leading->setObjectName(QStringLiteral("status_text"));
		trailing->setObjectName(QStringLiteral("status_trailing_text"));
		leading->setTextFormat(Qt::PlainText);
		trailing->setTextFormat(Qt::PlainText);
		leading->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
		trailing->setAlignment(Qt::AlignRight | Qt::AlignBottom);
		bar->setRange(0, kBarSteps);
		bar->setValue(0);
		bar->setTextVisible(false);
	}

	QLabel* leading;
	QLabel* trailing;
	QProgressBar* bar;
};


BStatusBar::BStatusBar(BRect frame, const char* name, const char* label,
	const char* trailingLabel)
	:
	BView(frame, name, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW, new QWidget),
	fLabel(label != nullptr ? label : ""),
	fTrailingLabel(trailingLabel != nullptr ? trailingLabel : ""),
	fParts(new Parts(Widget()))
{
	_ShowTexts();
}


void BStatusBar::Reset(const char* label, const char* trailingLabel)
{
	fLabel = label != nullptr ? label : "";
	fTrailingLabel = trailingLabel != nullptr ? trailingLabel : "";
	fText.clear();
	fTrailingText.clear();
	fMax = 100;
	fValue = 0;
	fParts->bar->setValue(0);
	_ShowTexts();
}


void BStatusBar::SetMaxValue(float max)
{
	fMax = max > 0 ? max : 0;
	SetTo(fValue, fText.c_str(), fTrailingText.c_str());
}


void BStatusBar::SetTo(float value, const char* text, const char* trailingText)
{
	fValue = std::clamp(value, 0.0f, fMax);
	fText = text != nullptr ? text : "";
	fTrailingText = trailingText != nullptr ? trailingText : "";
	int steps = fMax > 0 ? int(fValue / fMax * kBarSteps + 0.5f) : 0;
	fParts->bar->setValue(std::clamp(steps, 0, kBarSteps));
	_ShowTexts();
}


void BStatusBar::Update(float delta, const char* text, const char* trailingText)
{
	SetTo(fValue + delta, text, trailingText);
}


void BStatusBar::SetText(const char* text)
{
	fText = text != nullptr ? text : "";
	_ShowTexts();
}


void BStatusBar::SetTrailingText(const char* text)
{
	fTrailingText = text != nullptr ? text : "";
	_ShowTexts();
}


void BStatusBar::SetBarColor(rgb_color color)
{
	QPalette palette = fParts->bar->palette();
	palette.setColor(QPalette::Highlight, ToQColor(color));
	fParts->bar->setPalette(palette);
}


void BStatusBar::SetBarHeight(float height)
{
	fBarHeight = std::max(height, 1.0f);
	_Layout();
}


void BStatusBar::_FrameChanged()
{
	_Layout();
}


void BStatusBar::_ShowTexts()
{
	fParts->leading->setText(ToQString(Joined(fLabel, fText).c_str()));
	fParts->trailing->setText(ToQString(Joined(fTrailingText, fTrailingLabel).c_str()));
	_Layout();
}


void BStatusBar::_Layout()
{
	BRect bounds = Bounds();
	int width = int(bounds.Width()) + 1;
	int height = int(bounds.Height()) + 1;
	int barHeight = std::min(int(fBarHeight), height);
	int textHeight = height - barHeight;
	// The texts share the top line; the trailing one gets what it needs.
	int trailingWidth = std::min(fParts->trailing->sizeHint().width(), width / 2);
	fParts->leading->setGeometry(0, 0, width - trailingWidth, textHeight);
	fParts->trailing->setGeometry(width - trailingWidth, 0, trailingWidth, textHeight);
	fParts->bar->setGeometry(0, textHeight, width, barHeight);
}
