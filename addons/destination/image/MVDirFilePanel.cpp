#include "MVDirFilePanel.h"

#include <app/Message.h>
#include <interface/Button.h>
#include <interface/Font.h>

namespace {

constexpr const char* kCurrentLabel = "Select Current Directory";
// Room beside the label, and the height of the panel's own buttons.
constexpr float kLabelMargin = 40;
constexpr float kButtonHeight = 20;

}	// namespace


MVDirFilePanel::MVDirFilePanel(BMessenger* target, BRefFilter* filter)
	:
	BFilePanel(B_OPEN_PANEL, target, nullptr, B_DIRECTORY_NODE, false, nullptr, filter, false,
		true)
{
	SetFeel(B_FLOATING_APP_WINDOW_FEEL);
	float width = be_plain_font->StringWidth(kCurrentLabel) + kLabelMargin;
	fCurrentButton = new BButton(BRect(0, 0, width, kButtonHeight), "current dir button",
		kCurrentLabel, nullptr);
	AddButton(fCurrentButton);
	SelectionChanged();
}


// The button always chooses the folder shown now.
void MVDirFilePanel::SelectionChanged()
{
	if (fCurrentButton == nullptr)
		return;
	entry_ref directory;
	if (GetPanelDirectory(&directory) != B_OK) {
		fCurrentButton->SetMessage(nullptr);
		return;
	}
	auto* message = new BMessage(kDirPanelSelect);
	message->AddRef("refs", &directory);
	fCurrentButton->SetMessage(message);
}
