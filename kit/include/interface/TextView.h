#pragma once

// BTextView: a multi-line text, as reports and logs show theirs. It scrolls
// itself; a BScrollView around it only frames it and chooses its scroll bars.
//
// Insert() appends at the end, as a report adds its lines, and keeps the view
// following the end when it was showing the end. InsertStyled() appends a
// coloured or bold run; SetFontAndColor() sets the font and colour of all the
// rest. Lengths and texts are in UTF-8 bytes.

#include <string>

#include <interface/View.h>

class QPlainTextEdit;

class BTextView : public BView {
public:
	// textRect: the text's area in the view's bounds; its left and top give
	// the margin around the text.
	BTextView(BRect frame, const char* name, BRect textRect,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
	~BTextView() override;

	void SetText(const char* text);
	// Appends the text at the end.
	void Insert(const char* text);
	void InsertStyled(const char* text, rgb_color color, bool bold);
	// Valid until the text changes or Text() is called again.
	const char* Text() const;
	int32 TextLength() const;
	// Deletes all the text.
	void Delete();
	int32 CountLines() const;

	void MakeEditable(bool editable = true);
	bool IsEditable() const { return fEditable; }
	void MakeSelectable(bool selectable = true);
	bool IsSelectable() const { return fSelectable; }
	void SetWordWrap(bool wrap);
	bool DoesWordWrap() const { return fWordWrap; }
	void SetFontAndColor(const BFont* font, rgb_color color);
	void SetFont(const BFont* font) override;
	void SetTextRect(BRect textRect);
	BRect TextRect() const { return fTextRect; }
	// Shows the end of the text.
	void ScrollToEnd();
	bool IsScrolledToEnd() const;

private:
	void _Append(const char* text, const void* format);
	void _ApplyInteraction();

	QPlainTextEdit* fEdit;
	BRect fTextRect;
	mutable std::string fText;
	bool fEditable = true;
	bool fSelectable = true;
	bool fWordWrap = true;
};
