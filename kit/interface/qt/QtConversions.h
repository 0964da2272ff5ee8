#pragma once

// Between the kit's geometry, colours and fonts and Qt's.

#include <string>

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <interface/Font.h>
#include <interface/GraphicsDefs.h>
#include <interface/Rect.h>

namespace MorvaneKit {

// An inclusive BRect covers Width() + 1 pixels.
inline QRect ToQRect(BRect rect)
{
	return QRect(int(rect.left), int(rect.top), int(rect.Width()) + 1, int(rect.Height()) + 1);
}

inline QRectF ToQRectF(BRect rect)
{
	return QRectF(rect.left, rect.top, rect.Width(), rect.Height());
}

inline BRect FromQRect(const QRect& rect)
{
	return BRect(rect.left(), rect.top(), rect.left() + rect.width() - 1,
		rect.top() + rect.height() - 1);
}

inline QColor ToQColor(rgb_color color)
{
	return QColor(color.red, color.green, color.blue, color.alpha);
}

inline QString ToQString(const char* text)
{
	return QString::fromUtf8(text != nullptr ? text : "");
}

inline std::string FromQString(const QString& text)
{
	return text.toUtf8().toStdString();
}

QFont ToQFont(const BFont& font);

// The bytes KeyDown() gets for a Qt key with its text; empty for keys that
// have neither (a modifier alone).
std::string KeyBytes(int key, const QString& text);

}	// namespace MorvaneKit
