#pragma once

// The program's own icons, drawn in code: one per tool for the tool bar, the
// logo, and the kinds of entries of the catalogue.

#include <interface/Picture.h>

#include "MVToolView.h"

enum class EntryIcon {
	Backup,			// on a medium of unknown kind
	ImageBackup,	// in a folder of image files
	TapeBackup,
	Volume,
	Folder,
	File,
	Link,
};

namespace ToolIcons {

// A locked icon carries a padlock: a backup with a password.
BPicture ForEntry(EntryIcon icon, bool locked, float size);

// The icon of the tool, size x size pixels.
BPicture ForTool(ToolKind tool, float size);
BPicture Logo(float size);

}	// namespace ToolIcons
