#include "MVJobQueueSettingsWindow.h"

#include <string>

#include <interface/Box.h>
#include <interface/CheckBox.h>

#include "DialogButtons.h"
#include "GuiTexts.h"
#include "MVJobQueueView.h"

namespace {

constexpr const char* kTypeFilter = "typefilter";
constexpr const char* kStatusFilter = "statusfilter";
constexpr int32 kTypeCount = 6;
constexpr int32 kStateCount = 4;


bool Passes(int32 filter, int32 value, int32 count)
{
	if (value < 1 || value > count)
		return true;
	return (filter & (1 << (value - 1))) != 0;
}


std::string BoxName(const char* prefix, int32 value)
{
	return prefix + std::to_string(value);
}

}	// namespace


MVJobQueueSettingsWindow::MVJobQueueSettingsWindow(BPoint where, const BMessage& settings,
	BMessenger target)
	:
	MVDialogWindow(BRect(where.x, where.y, where.x + 379, where.y + 239),
		GuiText(kTextJobQueueSettings), settings, kMsgJobQueueSettingsReply, target)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	struct Group {
		int32 title;
		const char* prefix;
		int32 count;
		int32 filter;
		const char* (*text)(int32);
		float left;
	};
	const Group groups[] = {
		{kTextKind, "chk_type", kTypeCount, settings.GetInt32(kTypeFilter, kAllTypes),
			MVJobQueueView::TypeText, 10},
		{kTextStatusColumn, "chk_status", kStateCount,
			settings.GetInt32(kStatusFilter, kAllStates), MVJobQueueView::StatusText, 200},
	};
	for (const Group& group : groups) {
		auto* box = new BBox(BRect(group.left, 10, group.left + 170, 190), nullptr);
		box->SetLabel(GuiText(group.title));
		background->AddChild(box);
		for (int32 value = 1; value <= group.count; value++) {
			float top = 6 + 24 * value;
			auto* check = new BCheckBox(BRect(10, top, 160, top + 20),
				BoxName(group.prefix, value).c_str(), group.text(value), nullptr);
			check->SetValue(Passes(group.filter, value, group.count) ? B_CONTROL_ON
				: B_CONTROL_OFF);
			box->AddChild(check);
		}
	}
	AddDialogButtons(background);
}


void MVJobQueueSettingsWindow::MessageReceived(BMessage* message)
{
	if (message->what != kCmdDialogOk) {
		MVDialogWindow::MessageReceived(message);
		return;
	}
	(void)Settings().SetInt32(kTypeFilter, _TickedBits("chk_type", kTypeCount));
	(void)Settings().SetInt32(kStatusFilter, _TickedBits("chk_status", kStateCount));
	Confirm();
}


int32 MVJobQueueSettingsWindow::_TickedBits(const char* prefix, int32 count)
{
	int32 bits = 0;
	for (int32 value = 1; value <= count; value++) {
		if (static_cast<BCheckBox*>(FindView(BoxName(prefix, value).c_str()))->Value())
			bits |= 1 << (value - 1);
	}
	return bits;
}


bool MVJobQueueSettingsWindow::Lists(const BMessage& settings, int32 type, int32 status)
{
	return Passes(settings.GetInt32(kTypeFilter, kAllTypes), type, kTypeCount)
		&& Passes(settings.GetInt32(kStatusFilter, kAllStates), status, kStateCount);
}
