#pragma once

// The bottom of the GUI's small dialogs: a separator line, "Ok" sending
// kCmdDialogOk and "Cancel" closing the window, Ok being the default.

#include <support/SupportDefs.h>

class BView;

constexpr uint32 kCmdDialogOk = ' ok ';

// Adds the row along the bottom of the background view, which must be in its
// window already.
void AddDialogButtons(BView* background);
