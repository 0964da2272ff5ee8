#pragma once

// BStatusBar: a progress bar with a label and a text above it at the left,
// and a trailing label and text at the right.

#include <string>

#include <interface/View.h>

class BStatusBar : public BView {
public:
	BStatusBar(BRect frame, const char* name, const char* label = nullptr,
		const char* trailingLabel = nullptr);

	// Sets the value to 0 and the texts to those given.
	void Reset(const char* label = nullptr, const char* trailingLabel = nullptr);
	void SetMaxValue(float max);
	float MaxValue() const { return fMax; }
	// Sets the value (clamped to 0 .. MaxValue()) and the two texts.
	void SetTo(float value, const char* text = nullptr, const char* trailingText = nullptr);
	void Update(float delta, const char* text = nullptr, const char* trailingText = nullptr);
	float CurrentValue() const { return fValue; }
	void SetText(const char* text);
	const char* Text() const { return fText.c_str(); }
	void SetTrailingText(const char* text);
	const char* TrailingText() const { return fTrailingText.c_str(); }
	const char* Label() const { return fLabel.c_str(); }
	const char* TrailingLabel() const { return fTrailingLabel.c_str(); }
	void SetBarColor(rgb_color color);
	void SetBarHeight(float height);

private:
	void _FrameChanged() override;
	void _ShowTexts();
	void _Layout();

	std::string fLabel;
	std::string fTrailingLabel;
	std::string fText;
	std::string fTrailingText;
	float fMax = 100;
	float fValue = 0;
	float fBarHeight = 16;
	class Parts;
	Parts* fParts;
};
