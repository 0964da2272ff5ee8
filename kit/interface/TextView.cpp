// The text view over Qt's plain text editor.

#include <interface/TextView.h>

#include <algorithm>

#include <QFont>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "qt/QtConversions.h"

using MorvaneKit::FromQString;
using MorvaneKit::ToQColor;
using MorvaneKit::ToQFont;
using MorvaneKit::ToQString;

BTextView::BTextView(BRect frame, const char* name, BRect textRect, uint32 resizingMode,
	uint32 flags)
	:
	BView(frame, name, resizingMode, flags, new QPlainTextEdit),
	fEdit(static_cast<QPlainTextEdit*>(Widget())),
	fTextRect(textRect)
{
	fEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
	fEdit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
	fEdit->setFont(ToQFont(*be_plain_font));
	SetTextRect(textRect);
	_ApplyInteraction();
}


BTextView::~BTextView() = default;


void BTextView::SetText(const char* text)
{
	fEdit->setPlainText(ToQString(text));
}


void BTextView::Insert(const char* text)
{
	QTextCharFormat plain;
	_Append(text, &plain);
}


void BTextView::InsertStyled(const char* text, rgb_color color, bool bold)
{
	QTextCharFormat format;
	format.setForeground(ToQColor(color));
	format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
	_Append(text, &format);
}


void BTextView::_Append(const char* text, const void* format)
{
	if (text == nullptr || text[0] == '\0')
		return;
	bool following = IsScrolledToEnd();
	QTextCursor cursor(fEdit->document());
	cursor.movePosition(QTextCursor::End);
	cursor.insertText(ToQString(text), *static_cast<const QTextCharFormat*>(format));
	if (following)
		ScrollToEnd();
}


const char* BTextView::Text() const
{
	fText = FromQString(fEdit->toPlainText());
	return fText.c_str();
}


int32 BTextView::TextLength() const
{
	return int32(fEdit->toPlainText().toUtf8().size());
}


void BTextView::Delete()
{
	fEdit->clear();
}


int32 BTextView::CountLines() const
{
	return fEdit->document()->blockCount();
}


void BTextView::MakeEditable(bool editable)
{
	fEditable = editable;
	_ApplyInteraction();
}


void BTextView::MakeSelectable(bool selectable)
{
	fSelectable = selectable;
	_ApplyInteraction();
}


void BTextView::_ApplyInteraction()
{
	fEdit->setReadOnly(!fEditable);
	Qt::TextInteractionFlags flags = Qt::NoTextInteraction;
	if (fEditable)
		flags = Qt::TextEditorInteraction;
	else if (fSelectable)
		flags = Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;
	fEdit->setTextInteractionFlags(flags);
}


void BTextView::SetWordWrap(bool wrap)
{
	fWordWrap = wrap;
	fEdit->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}


void BTextView::SetFontAndColor(const BFont* font, rgb_color color)
{
	if (font != nullptr)
		SetFont(font);
	QPalette palette = fEdit->palette();
	palette.setColor(QPalette::Text, ToQColor(color));
	fEdit->setPalette(palette);
}


void BTextView::SetFont(const BFont* font)
{
	// The view's font is the document's: runs without a font of their own
	// follow it.
	BView::SetFont(font);
}


void BTextView::SetTextRect(BRect textRect)
{
	fTextRect = textRect;
	qreal margin = std::max<qreal>(0, std::max(textRect.left, textRect.top));
	fEdit->document()->setDocumentMargin(std::max<qreal>(margin, 2));
}


void BTextView::ScrollToEnd()
{
	QScrollBar* bar = fEdit->verticalScrollBar();
	bar->setValue(bar->maximum());
}


bool BTextView::IsScrolledToEnd() const
{
	const QScrollBar* bar = fEdit->verticalScrollBar();
	return bar->value() >= bar->maximum();
}
