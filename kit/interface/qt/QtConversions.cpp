#include "QtConversions.h"

#include <QFontDatabase>
#include <QFontMetricsF>

#include <interface/InterfaceDefs.h>

namespace MorvaneKit {

QFont ToQFont(const BFont& font)
{
	QFont result;
	if (font.IsFixed())
		result = QFont(QStringLiteral("DejaVu Sans Mono"));
	else if (font.Family()[0] != '\0')
		result = QFont(ToQString(font.Family()));
	result.setPixelSize(font.Size() > 1 ? int(font.Size() + 0.5f) : 1);
	result.setBold((font.Face() & B_BOLD_FACE) != 0);
	result.setItalic((font.Face() & B_ITALIC_FACE) != 0);
	return result;
}


std::string KeyBytes(int key, const QString& text)
{
	switch (key) {
		case Qt::Key_Escape:
			return std::string(1, B_ESCAPE);
		case Qt::Key_Return:
		case Qt::Key_Enter:
			return std::string(1, B_ENTER);
		case Qt::Key_Tab:
			return std::string(1, B_TAB);
		case Qt::Key_Backspace:
			return std::string(1, B_BACKSPACE);
		case Qt::Key_Delete:
			return std::string(1, B_DELETE);
		case Qt::Key_Left:
			return std::string(1, B_LEFT_ARROW);
		case Qt::Key_Right:
			return std::string(1, B_RIGHT_ARROW);
		case Qt::Key_Up:
			return std::string(1, B_UP_ARROW);
		case Qt::Key_Down:
			return std::string(1, B_DOWN_ARROW);
	}
	return FromQString(text);
}

}	// namespace MorvaneKit


BFont::BFont(const char* family, float size, uint16 face)
	:
	fFamily(family != nullptr ? family : ""),
	fSize(size),
	fFace(face)
{
}


void BFont::SetFamilyAndStyle(const char* family, const char* style)
{
	SetFamily(family);
	fFixed = false;
	std::string name = style != nullptr ? style : "";
	uint16 face = 0;
	if (name.find("Bold") != std::string::npos)
		face |= B_BOLD_FACE;
	if (name.find("Italic") != std::string::npos || name.find("Oblique") != std::string::npos)
		face |= B_ITALIC_FACE;
	fFace = face != 0 ? face : uint16(B_REGULAR_FACE);
}


int32 count_font_families()
{
	return int32(QFontDatabase::families().size());
}


status_t get_font_family(int32 index, std::string* family)
{
	QStringList families = QFontDatabase::families();
	if (family == nullptr || index < 0 || index >= families.size())
		return B_BAD_VALUE;
	*family = MorvaneKit::FromQString(families.at(index));
	return B_OK;
}


int32 count_font_styles(const char* family)
{
	return int32(QFontDatabase::styles(MorvaneKit::ToQString(family)).size());
}


status_t get_font_style(const char* family, int32 index, std::string* style)
{
	QStringList styles = QFontDatabase::styles(MorvaneKit::ToQString(family));
	if (style == nullptr || index < 0 || index >= styles.size())
		return B_BAD_VALUE;
	*style = MorvaneKit::FromQString(styles.at(index));
	return B_OK;
}


float BFont::StringWidth(const char* text) const
{
	return float(QFontMetricsF(MorvaneKit::ToQFont(*this))
		.horizontalAdvance(MorvaneKit::ToQString(text)));
}


float BFont::LineHeight() const
{
	QFontMetricsF metrics(MorvaneKit::ToQFont(*this));
	return float(metrics.ascent() + metrics.descent() + metrics.leading());
}


namespace {

BFont MakeFixed()
{
	BFont font("", 12, B_REGULAR_FACE);
	font.SetFixed(true);
	return font;
}

const BFont sPlain("", 12, B_REGULAR_FACE);
const BFont sBold("", 12, B_BOLD_FACE);
const BFont sFixed = MakeFixed();

}	// namespace

const BFont* be_plain_font = &sPlain;
const BFont* be_bold_font = &sBold;
const BFont* be_fixed_font = &sFixed;


rgb_color ui_color(ui_color_which which)
{
	switch (which) {
		case B_PANEL_BACKGROUND_COLOR:
			return make_color(232, 232, 232);
		case B_DOCUMENT_BACKGROUND_COLOR:
			return make_color(255, 255, 255);
		case B_DOCUMENT_TEXT_COLOR:
		case B_PANEL_TEXT_COLOR:
			return make_color(0, 0, 0);
		case B_CONTROL_HIGHLIGHT_COLOR:
			return make_color(51, 102, 187);
	}
	return make_color(0, 0, 0);
}
