#pragma once

// BMenuItem: an entry of a menu that invokes its message when chosen, or
// opens a submenu. The message goes to the target, by default the window of
// the view that shows the menu; the copy carries "when", "source" (the item)
// and "index" (its place in its menu). A marked item shows a check mark.

#include <string>

#include <app/Invoker.h>
#include <support/SupportDefs.h>

class BMenu;
class QAction;

class BMenuItem : public BInvoker {
public:
	// shortcut with Ctrl (the command key on Linux) and the modifiers given.
	BMenuItem(const char* label, BMessage* message, char shortcut = 0, uint32 modifiers = 0);
	// An item that opens the submenu, which it then owns.
	explicit BMenuItem(BMenu* submenu, BMessage* message = nullptr);
	~BMenuItem() override;

	virtual void SetLabel(const char* label);
	const char* Label() const { return fLabel.c_str(); }
	virtual void SetMarked(bool marked);
	bool IsMarked() const { return fMarked; }
	virtual void SetEnabled(bool enabled);
	bool IsEnabled() const { return fEnabled; }
	char Shortcut(uint32* modifiers = nullptr) const;
	BMenu* Submenu() const { return fSubmenu; }
	// The menu the item is in, or null.
	BMenu* Menu() const { return fMenu; }
	status_t Invoke(BMessage* message = nullptr) override;
	// Chooses the item as the user does: radio menus mark it, then it
	// invokes its message.
	void Click();

	QAction* Action() const { return fAction; }

protected:
	BLooper* _DefaultLooper() const override;

private:
	friend class BMenu;

	void _Chosen();

	std::string fLabel;
	BMenu* fSubmenu = nullptr;
	BMenu* fMenu = nullptr;
	QAction* fAction;
	bool fOwnsAction;
	bool fMarked = false;
	bool fEnabled = true;
	char fShortcut = 0;
	uint32 fModifiers = 0;
};

// A line between groups of items.
class BSeparatorItem : public BMenuItem {
public:
	BSeparatorItem();
};
