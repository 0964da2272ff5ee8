#include "MVToolView.h"

#include "MVBackupView.h"
#include "MVCompareView.h"
#include "MVJobQueueView.h"
#include "MVQBView.h"
#include "MVReportView.h"
#include "MVRestoreView.h"

MVToolView* CreateToolView(ToolKind kind, BRect frame)
{
	switch (kind) {
		case kToolQuickBackup:
			return new MVQBView(frame);
		case kToolBackup:
			return new MVBackupView(frame);
		case kToolRestore:
			return new MVRestoreView(frame);
		case kToolCompare:
			return new MVCompareView(frame);
		case kToolReports:
			return new MVReportView(frame);
		case kToolJobQueue:
			return new MVJobQueueView(frame);
		default:
			return nullptr;
	}
}
