#include "MVToolView.h"

#include "MVJobQueueView.h"
#include "MVQBView.h"
#include "MVReportView.h"

MVToolView* CreateToolView(ToolKind kind, BRect frame)
{
	switch (kind) {
		case kToolQuickBackup:
			return new MVQBView(frame);
		case kToolReports:
			return new MVReportView(frame);
		case kToolJobQueue:
			return new MVJobQueueView(frame);
		default:
			// The backup, restore and compare tools are
			// still to come.
			return nullptr;
	}
}
