#pragma once

// The six tools as the menus, the tool bar and the preferences name them.

#include <support/SupportDefs.h>

#include "MVToolView.h"

struct ToolEntry {
	ToolKind kind;
	uint32 command;          // shows the tool
	int32 text;              // its name
	const char* prefKey;     // its settings in the preferences
	const char* buttonName;  // its tool-bar button
};

// In the order of the Tools menu and the tool bar.
extern const ToolEntry kToolTable[6];

const ToolEntry* ToolByCommand(uint32 command);
const ToolEntry* ToolByKind(int32 kind);
