#pragma once

// The program's own icons, drawn in code: one per tool for the tool bar, the
// logo, and the kinds of entries of the catalogue.

#include <interface/Picture.h>

#include "MVToolView.h"

enum class EntryIcon {
	Backup,
	ProtectedBackup,
	Volume,
	Folder,
	File,
	Link,
};

namespace ToolIcons {

BPicture ForEntry(EntryIcon icon, float size);

// The icon of the tool, size x size pixels.
BPicture ForTool(ToolKind tool, float size);
BPicture Logo(float size);

}	// namespace ToolIcons
