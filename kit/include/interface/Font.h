#pragma once

// BFont: a family, a size in pixels and a face. The three system fonts are
// the plain, bold and fixed ones every view starts from.

#include <string>

#include <support/Errors.h>
#include <support/SupportDefs.h>

enum : uint16 {
	B_REGULAR_FACE = 0x0040,
	B_BOLD_FACE = 0x0020,
	B_ITALIC_FACE = 0x0001,
};

class BFont {
public:
	BFont() = default;
	BFont(const char* family, float size, uint16 face);

	void SetSize(float size) { fSize = size; }
	float Size() const { return fSize; }
	void SetFace(uint16 face) { fFace = face; }
	uint16 Face() const { return fFace; }
	void SetFamily(const char* family) { fFamily = family != nullptr ? family : ""; }
	const char* Family() const { return fFamily.c_str(); }
	// The face follows the style's name ("Bold", "Italic", "Bold Oblique").
	void SetFamilyAndStyle(const char* family, const char* style);
	bool IsFixed() const { return fFixed; }
	void SetFixed(bool fixed) { fFixed = fixed; }

	// Width of the text in pixels drawn in this font.
	float StringWidth(const char* text) const;
	// Ascent + descent + leading.
	float LineHeight() const;

	bool operator==(const BFont& other) const = default;

private:
	std::string fFamily;
	float fSize = 12;
	uint16 fFace = B_REGULAR_FACE;
	bool fFixed = false;
};

// The installed font families and the styles of one, by index.
int32 count_font_families();
status_t get_font_family(int32 index, std::string* family);
int32 count_font_styles(const char* family);
status_t get_font_style(const char* family, int32 index, std::string* style);

extern const BFont* be_plain_font;
extern const BFont* be_bold_font;
extern const BFont* be_fixed_font;
