#include "MVCatalogueToolView.h"

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/Window.h>

#include "BackupApplication.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "JobRequest.h"
#include "MVLogDataView.h"
#include "MVRestoreStartWin.h"
#include "ServerProtocol.h"
#include "Warning.h"

namespace {

constexpr uint32 kMsgSchedulerReply = 'swqt';

}	// namespace


MVCatalogueToolView::MVCatalogueToolView(BRect frame, const Kind& kind, BRect catalogueFrame)
	:
	MVToolView(frame, kind.viewName),
	fKind(kind),
	fFiles(kind.magic, kind.alertTitle),
	fSchedule(kMsgSchedulerReply)
{
	fCatalogue = new MVLogDataView(catalogueFrame, kind.widthKeys);
	AddChild(fCatalogue);
}


MVCatalogueToolView::~MVCatalogueToolView()
{
	if (fStartWindow != nullptr && fStartWindow->Lock())
		fStartWindow->Quit();
}


void MVCatalogueToolView::AddButtons(const std::vector<Button>& buttons)
{
	float height = Bounds().Height();
	float left = 8;
	for (const Button& button : buttons) {
		AddChild(new BButton(BRect(left, height - 36, left + 100, height - 10), button.name,
			button.label, new BMessage(button.command), B_FOLLOW_LEFT | B_FOLLOW_BOTTOM));
		left += 108;
	}
}


void MVCatalogueToolView::AttachedToWindow()
{
	AimButtonsHere();
}


void MVCatalogueToolView::MessageReceived(BMessage* message)
{
	if (message->what == fKind.startCommand) {
		_Start();
		return;
	}
	if (message->what == fKind.startReply) {
		_StartClosed(message);
		return;
	}
	if (message->what == fKind.schedulerCommand) {
		fSchedule.Open(Window()->Frame(), fSettings, BMessenger(this));
		return;
	}
	switch (message->what) {
		case kMsgSchedulerReply:
			fSchedule.Closed(*message, &fSettings);
			break;
		case kMsgCatalogueMarksChanged:
			if (fStartWindow != nullptr && fStartWindow->Lock()) {
				fStartWindow->SetBackups(ProtectedBackups());
				fStartWindow->Unlock();
			}
			MarksChanged();
			break;
		case kMsgLogInserted:
		case kMsgLogRemoved:
			fCatalogue->Reload();
			MarksChanged();
			break;
		case kCmdSelectAll:
		case kCmdClearSelection:
			fCatalogue->SelectAll(message->what == kCmdSelectAll);
			break;
		default:
			if (!fFiles.Handle(message, this))
				MVToolView::MessageReceived(message);
			break;
	}
}


void MVCatalogueToolView::MarksChanged()
{
}


void MVCatalogueToolView::ShowOwnSettings()
{
}


void MVCatalogueToolView::GetPref(BMessage* settings) const
{
	*settings = fSettings;
	BMessage selection;
	fCatalogue->GetSelection(&selection);
	(void)settings->SetMessage("selection", &selection);
	fCatalogue->StoreColumnWidths(settings);
}


void MVCatalogueToolView::SetPref(const BMessage& settings)
{
	fSettings = settings;
	BMessage selection;
	if (fSettings.FindMessage("selection", &selection) == B_OK)
		fCatalogue->SetSelection(selection);
	fCatalogue->RestoreColumnWidths(fSettings);
	ShowOwnSettings();
}


void MVCatalogueToolView::LoadFile(const entry_ref& ref)
{
	BMessage settings;
	if (fFiles.Load(ref, &settings))
		SetPref(settings);
}




std::vector<std::string> MVCatalogueToolView::ProtectedBackups() const
{
	std::vector<std::string> marked = fCatalogue->MarkedBackups();
	BMessage ask(kMsgPasswordCheck);
	for (const std::string& name : marked)
		ask.AddString("name", name.c_str());
	BMessage answer;
	std::vector<std::string> protectedOnes;
	if (marked.empty() || BackupApplication::Get()->PostServer(&ask, &answer) != B_OK)
		return protectedOnes;
	const char* name;
	for (int32 element = 0; answer.FindString("name", element, &name) == B_OK; element++) {
		if (answer.GetInt32("protected", element, 0) != 0)
			protectedOnes.push_back(name);
	}
	return protectedOnes;
}


void MVCatalogueToolView::_Start()
{
	if (!fCatalogue->HasMarks()) {
		WarnUser(fKind.alertTitle, GuiText(fKind.nothingMarkedText));
		return;
	}
	if (fStartWindow != nullptr) {
		fStartWindow->Activate();
		return;
	}
	fStartWindow = OpenStartWindow(fKind.startTitleText, ProtectedBackups(), fKind.startReply);
}


MVRestoreStartWin* MVCatalogueToolView::OpenStartWindow(int32 titleText,
	const std::vector<std::string>& protectedBackups, uint32 replyCode)
{
	BMessage startInfo;
	(void)fSettings.FindMessage("start_info", &startInfo);
	BRect frame = Window()->Frame();
	auto* window = new MVRestoreStartWin(BPoint(frame.left + 60, frame.top + 60),
		GuiText(titleText), startInfo, protectedBackups, replyCode, BMessenger(this));
	window->Show();
	return window;
}


bool MVCatalogueToolView::StartConfirmed(const BMessage& reply, BMessage* job)
{
	BMessage startInfo;
	if (!reply.GetBool("result", false) || reply.FindMessage("settings", &startInfo) != B_OK)
		return false;
	(void)fSettings.SetMessage("start_info", &startInfo);
	GetPref(job);
	return true;
}


void MVCatalogueToolView::_StartClosed(BMessage* message)
{
	fStartWindow = nullptr;
	BMessage job;
	if (!StartConfirmed(*message, &job))
		return;
	MakeJobRequest(&job, fKind.jobType);
	(void)be_app->PostMessage(&job);
}
