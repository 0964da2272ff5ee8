#pragma once

// BPopUpMenu: a menu that pops up, by itself (Go()) or from a menu field.

#include <interface/Menu.h>
#include <interface/Rect.h>

class BPopUpMenu : public BMenu {
public:
	// radioMode and labelFromMarked as a menu field's menu usually has them.
	explicit BPopUpMenu(const char* name, bool radioMode = true, bool labelFromMarked = true);

	// Shows the menu at the point (screen coordinates) and returns the item
	// chosen, or null; with deliversMessage the item also invokes.
	BMenuItem* Go(BPoint screenWhere, bool deliversMessage = false);
};
