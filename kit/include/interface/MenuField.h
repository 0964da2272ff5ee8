#pragma once

// BMenuField: a label and a button that pops up a menu; the button shows the
// menu's name, or the marked item's label when the menu takes its label
// from the marked item.

#include <string>

#include <interface/View.h>

class BMenu;
class QLabel;
class QPushButton;

class BMenuField : public BView {
public:
	// The field owns the menu.
	BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
	~BMenuField() override;

	BMenu* Menu() const { return fMenu; }
	void SetLabel(const char* label);
	const char* Label() const { return fLabel.c_str(); }
	// What the button shows now.
	const char* MenuLabel() const { return fShown.c_str(); }
	void SetDivider(float divider);
	float Divider() const { return fDivider; }
	void SetEnabled(bool enabled);
	bool IsEnabled() const;

protected:
	void _FrameChanged() override;

private:
	void _Layout();
	void _UpdateShown();

	BMenu* fMenu;
	QLabel* fLabelWidget;
	QPushButton* fButton;
	std::string fLabel;
	std::string fShown;
	float fDivider;
};
