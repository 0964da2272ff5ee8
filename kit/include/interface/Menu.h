#pragma once

// BMenu: a list of menu items. It owns its items and deletes them with
// itself; RemoveItem() gives an item back to the caller. In radio mode
// choosing an item marks it and unmarks the others; a menu whose label
// comes from the marked item makes its menu field show that item's label.

#include <functional>
#include <string>
#include <vector>

#include <app/Messenger.h>
#include <support/SupportDefs.h>

class BHandler;
class BLooper;
class BMenuItem;
class BView;
class QWidget;

class BMenu {
public:
	explicit BMenu(const char* name);
	virtual ~BMenu();
	BMenu(const BMenu&) = delete;
	BMenu& operator=(const BMenu&) = delete;

	bool AddItem(BMenuItem* item);
	bool AddItem(BMenuItem* item, int32 index);
	// Adds an item that opens the submenu.
	bool AddItem(BMenu* submenu);
	bool AddSeparatorItem();
	// The item leaves the menu; the caller owns it.
	BMenuItem* RemoveItem(int32 index);
	bool RemoveItem(BMenuItem* item);
	bool RemoveItems(int32 index, int32 count, bool deleteItems = false);
	BMenuItem* ItemAt(int32 index) const;
	int32 CountItems() const { return int32(fItems.size()); }
	int32 IndexOf(const BMenuItem* item) const;
	// Searches submenus too.
	BMenuItem* FindItem(const char* label) const;
	BMenuItem* FindItem(uint32 command) const;
	BMenuItem* FindMarked() const;

	void SetRadioMode(bool radio) { fRadioMode = radio; }
	bool IsRadioMode() const { return fRadioMode; }
	void SetLabelFromMarked(bool fromMarked);
	bool IsLabelFromMarked() const { return fLabelFromMarked; }
	status_t SetTargetForItems(BHandler* target);
	status_t SetTargetForItems(BMessenger messenger);
	void SetEnabled(bool enabled);
	bool IsEnabled() const { return fEnabled; }

	const char* Name() const { return fName.c_str(); }
	void SetName(const char* name);
	BMenuItem* Superitem() const { return fSuperitem; }
	BMenu* Supermenu() const;
	// The view that shows the menu (its bar or field), set by that view.
	void SetOwnerView(BView* view) { fOwnerView = view; }
	// Called when an item of this menu was marked or unmarked.
	void SetMarkObserver(std::function<void()> observer) { fMarkObserver = std::move(observer); }

	QWidget* MenuWidget() const { return fContainer; }
	// Saves the menu as it looks open, as a PNG file; for the manual.
	status_t SaveImage(const char* path) const;

protected:
	// A menu shown by another widget (a menu bar) adds its items there.
	BMenu(const char* name, QWidget* container, bool ownsContainer);

private:
	friend class BMenuItem;

	BLooper* _Looper() const;
	void _ItemChosen(BMenuItem* item);
	void _MarkChanged();

	std::string fName;
	QWidget* fContainer;
	bool fOwnsContainer;
	std::vector<BMenuItem*> fItems;
	BMenuItem* fSuperitem = nullptr;
	BView* fOwnerView = nullptr;
	std::function<void()> fMarkObserver;
	bool fRadioMode = false;
	bool fLabelFromMarked = false;
	bool fEnabled = true;
};
