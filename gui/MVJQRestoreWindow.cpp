#include "MVJQRestoreWindow.h"

#include <interface/StringView.h>

#include "MVRestoreOptionsView.h"

namespace {

constexpr float kWidth = 380;

}	// namespace


MVJQRestoreWindow::MVJQRestoreWindow(BPoint where, const BMessage& record, BMessenger target)
	:
	MVJQJobWindow(BRect(where.x, where.y, where.x, where.y), record, target, "res_job_setttings",
		kWidth, 130)
{
	BMessage options;
	(void)record.FindMessage("restore", &options);
	fOptions = new MVRestoreOptionsView(BRect(0, 0, kWidth, 104), options);
	Content()->AddChild(fOptions);
	Content()->AddChild(new BStringView(BRect(0, 110, kWidth, 128), "str_summary",
		Summary(record).c_str()));
}


void MVJQRestoreWindow::ReadContent(BMessage* record)
{
	BMessage options;
	(void)record->FindMessage("restore", &options);
	fOptions->GetOptions(&options);
	(void)record->SetMessage("restore", &options);
}
