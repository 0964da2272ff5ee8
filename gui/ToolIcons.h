#pragma once

// The program's own icons, drawn in code: one per tool for the tool bar, and
// the logo.

#include <interface/Picture.h>

#include "MVToolView.h"

namespace ToolIcons {

// The icon of the tool, size x size pixels.
BPicture ForTool(ToolKind tool, float size);
BPicture Logo(float size);

}	// namespace ToolIcons
