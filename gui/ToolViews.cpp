#include "MVToolView.h"

#include "MVQBView.h"
#include "MVReportView.h"

MVToolView* CreateToolView(ToolKind kind, BRect frame)
{
	switch (kind) {
		case kToolQuickBackup:
			return new MVQBView(frame);
		case kToolReports:
			return new MVReportView(frame);
		default:
			// The backup, restore, compare and job queue tools are
			// still to come.
			return nullptr;
	}
}
