#include "ScheduleEditor.h"

#include "MVSchedulerWindow.h"

ScheduleEditor::~ScheduleEditor()
{
	if (fWindow != nullptr && fWindow->Lock())
		fWindow->Quit();
}


void ScheduleEditor::Open(BRect ownerFrame, const BMessage& settings, BMessenger owner)
{
	if (fWindow != nullptr) {
		fWindow->Activate();
		return;
	}
	BMessage schedule;
	(void)settings.FindMessage("scheduler", &schedule);
	fWindow = MVSchedulerWindow::OpenBeside(ownerFrame, schedule, fReplyCode, owner);
}


void ScheduleEditor::Closed(const BMessage& reply, BMessage* settings)
{
	fWindow = nullptr;
	BMessage schedule;
	if (reply.GetBool("result", false) && reply.FindMessage("settings", &schedule) == B_OK)
		(void)settings->SetMessage("scheduler", &schedule);
}
