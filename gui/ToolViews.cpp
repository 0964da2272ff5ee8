#include "MVToolView.h"

#include "MVQBView.h"

MVToolView* CreateToolView(ToolKind kind, BRect frame)
{
	switch (kind) {
		case kToolQuickBackup:
			return new MVQBView(frame);
		default:
			// The backup, restore, compare, job queue and report tools are
			// still to come.
			return nullptr;
	}
}
