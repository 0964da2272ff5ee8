#include "MVJQBackupWindow.h"

#include "MVBackupView.h"

namespace {

constexpr float kWidth = 600;
constexpr float kHeight = 320;

}	// namespace


MVJQBackupWindow::MVJQBackupWindow(BPoint where, const BMessage& record, BMessenger target)
	:
	MVJQJobWindow(BRect(where.x, where.y, where.x, where.y), record, target, "bak_job_setttings",
		kWidth, kHeight, false)
{
	fSettingsView = new MVBackupView(BRect(0, 0, kWidth, kHeight), MVBackupView::kJobEditor);
	fSettingsView->SetEditedJob(record.GetInt32("job_id", 0));
	Content()->AddChild(fSettingsView);
	fSettingsView->SetPref(record);
}


void MVJQBackupWindow::ReadContent(BMessage* record)
{
	fSettingsView->GetPref(record);
}
