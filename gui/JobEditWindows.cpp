#include "JobEditWindows.h"

#include <interface/StringView.h>

#include "JobType.h"
#include "MVJQBackupWindow.h"
#include "MVJQRestoreWindow.h"

namespace {

constexpr float kSummaryWidth = 380;


MVJQJobWindow* SummaryWindow(BPoint where, const BMessage& record, BMessenger target,
	const char* mainView)
{
	auto* window = new MVJQJobWindow(BRect(where.x, where.y, where.x, where.y), record, target,
		mainView, kSummaryWidth, 24);
	window->Content()->AddChild(new BStringView(BRect(0, 2, kSummaryWidth, 20), "str_summary",
		MVJQJobWindow::Summary(record).c_str()));
	return window;
}

}	// namespace


MVJQJobWindow* CreateJobEditWindow(BPoint where, const BMessage& record, BMessenger target)
{
	switch (record.GetInt32("job_type", 0)) {
		case kJobFullBackup:
		case kJobIncrementalBackup:
		case kJobDifferentialBackup:
			return new MVJQBackupWindow(where, record, target);
		case kJobRestore:
			return new MVJQRestoreWindow(where, record, target);
		case kJobCompare:
			return SummaryWindow(where, record, target, "cmp_job_setttings");
		case kJobInsert:
			return SummaryWindow(where, record, target, "ins_job_setttings");
		default:
			return nullptr;
	}
}
