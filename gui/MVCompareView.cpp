#include "MVCompareView.h"

#include <interface/Window.h>

#include "GuiTexts.h"
#include "JobSettingsFile.h"
#include "JobType.h"
#include "MVCompareSettingsWindow.h"

namespace {

constexpr uint32 kCmdStart = 'cmst';
constexpr uint32 kMsgStartReply = 'cmsq';
constexpr uint32 kCmdSettings = 'cmse';
constexpr uint32 kCmdScheduler = 'cmsc';

const char* const kWidthKeys[] = {"CMPNAMECOLWIDTH", "CMPSIZECOLWIDTH", "CMPDATECOLWIDTH",
	"CMPREDIRECTCOLWIDTH", "CMPMEDIACOLWIDTH", "CMPOFFSETCOLWIDTH", "CMPINDEXCOLWIDTH"};

const MVCatalogueToolView::Kind kCompare = {"MV_COMPARE", "Compare",
	JobSettingsFile::kCompareMagic, kJobCompare, kTextNothingToCompare, kTextStartCompare,
	kCmdStart, kMsgStartReply, kCmdScheduler, kWidthKeys};

}	// namespace


MVCompareView::MVCompareView(BRect frame)
	:
	MVCatalogueToolView(frame, kCompare, BRect(8, 8, frame.Width() - 8, frame.Height() - 44))
{
	AddButtons({{"btn_cmpsettings", GuiText(kTextSettings), kCmdSettings},
		{"btn_cmpscheduler", GuiText(kTextScheduler), kCmdScheduler},
		{"btn_cmpstart", GuiText(kTextStart), kCmdStart}});
	ShowOwnSettings();
}


MVCompareView::~MVCompareView()
{
	if (fSettingsWindow != nullptr && fSettingsWindow->Lock())
		fSettingsWindow->Quit();
}


void MVCompareView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdSettings:
			_OpenSettings();
			break;
		case kMsgCompareSettingsReply:
			_SettingsClosed(message);
			break;
		default:
			MVCatalogueToolView::MessageReceived(message);
			break;
	}
}


void MVCompareView::ShowOwnSettings()
{
	// Without a choice a compare compares everything.
	if (!fSettings.HasData("compare", B_MESSAGE_TYPE)) {
		BMessage items;
		items.AddInt32("compareall", 1);
		fSettings.AddMessage("compare", &items);
	}
}


void MVCompareView::_OpenSettings()
{
	if (fSettingsWindow != nullptr) {
		fSettingsWindow->Activate();
		return;
	}
	BMessage items;
	(void)fSettings.FindMessage("compare", &items);
	BRect frame = Window()->Frame();
	fSettingsWindow = new MVCompareSettingsWindow(BPoint(frame.left + 60, frame.top + 60), items,
		BMessenger(this));
	fSettingsWindow->Show();
}


void MVCompareView::_SettingsClosed(BMessage* message)
{
	fSettingsWindow = nullptr;
	BMessage items;
	if (message->GetBool("result", false) && message->FindMessage("settings", &items) == B_OK)
		(void)fSettings.SetMessage("compare", &items);
}
