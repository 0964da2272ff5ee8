#include "MVDialogWindow.h"

MVDialogWindow::MVDialogWindow(BRect frame, const char* title, const BMessage& settings,
	uint32 replyCode, BMessenger target)
	:
	BWindow(frame, title, B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE),
	fSettings(settings),
	fReplyCode(replyCode),
	fTarget(target)
{
}


void MVDialogWindow::Confirm()
{
	fResult = true;
	(void)PostMessage(B_QUIT_REQUESTED);
}


void MVDialogWindow::Quit()
{
	BMessage reply(fReplyCode);
	reply.AddBool("result", fResult);
	reply.AddMessage("settings", &fSettings);
	(void)fTarget.SendMessage(&reply);
	BWindow::Quit();
}
