#include "MVToolView.h"

MVToolView* CreateToolView(ToolKind kind, BRect frame)
{
	// The backup, restore, compare, job queue, report and quick backup tools
	// are still to come.
	return nullptr;
}
