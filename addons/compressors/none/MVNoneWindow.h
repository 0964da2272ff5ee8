#pragma once

// MVNoneWindow: the settings window of the pass-through compressor, which
// has nothing to set; its reply is kCruncherSettingsReply (see MVSetWindow).

#include "MVSetWindow.h"

class MVNoneWindow : public MVSetWindow {
public:
	MVNoneWindow(const char* title, BWindow* parent, BMessage settings, BHandler* target);
};
