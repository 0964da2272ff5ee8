#pragma once

// What the GUI reads from and keeps in its preferences store. The store's
// file is the user's to edit or break: every value is read by its type,
// with the default for one that is missing or of another type, and ranges
// are checked here.

#include <interface/Rect.h>
#include <support/SupportDefs.h>

class BMessage;
class Preferences;

namespace GuiPreferences {

constexpr BRect kDefaultMainFrame{50, 80, 600, 435};

// Adds the GUI's defaults for every key that has no value of its type.
void SetDefaults(Preferences* prefs);
// The main window's frame; a stored frame without width or height (or not
// a rectangle at all) is replaced by the default, which is then stored.
BRect MainFrame(Preferences* prefs);
// The stored tool-bar mode when it is one of the five, else "Icon + Text".
uint32 ToolbarMode(const Preferences& prefs);
// The running-jobs window's settings with every key present and in range.
BMessage StatusSettings(const Preferences& prefs);

}	// namespace GuiPreferences
