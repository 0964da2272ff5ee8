#include "MVRestoreOptionsView.h"

#include <interface/CheckBox.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>

#include "GuiTexts.h"

namespace {

// The overwrite choices in the order of their stored value.
const int32 kOverwriteTexts[] = {kTextNo, kTextOnlyOlder, kTextRename, kTextYes};

}	// namespace


MVRestoreOptionsView::MVRestoreOptionsView(BRect frame, const BMessage& options)
	:
	BView(frame, "restore_options", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, B_WILL_DRAW)
{
	float width = frame.Width();
	auto* menu = new BPopUpMenu("-");
	int32 overwrite = options.GetInt32("overwrite", 0);
	for (int32 index = 0; index < 4; index++) {
		auto* item = new BMenuItem(GuiText(kOverwriteTexts[index]), nullptr);
		item->SetMarked(index == overwrite);
		menu->AddItem(item);
	}
	fOverwrite = new BMenuField(BRect(0, 0, width, 24), "mnu_overwrite",
		GuiText(kTextOverwriteFiles), menu);
	AddChild(fOverwrite);
	struct Box {
		BCheckBox** box;
		const char* name;
		int32 text;
		const char* key;
	};
	const Box boxes[] = {
		{&fAsk, "chk_askoverwrite", kTextAsk, "askoverwrite"},
		{&fCreateRoot, "chk_createroot", kTextCreateRoot, "createroot"},
		{&fEmptyFolders, "chk_emptydirs", kTextCreateEmptyDirs, "createemptydirs"},
	};
	float top = 32;
	for (const Box& box : boxes) {
		*box.box = new BCheckBox(BRect(0, top, width, top + 20), box.name, GuiText(box.text),
			nullptr);
		(*box.box)->SetValue(options.GetInt32(box.key, 0) != 0 ? B_CONTROL_ON : B_CONTROL_OFF);
		AddChild(*box.box);
		top += 24;
	}
}


void MVRestoreOptionsView::GetOptions(BMessage* options) const
{
	BMenu* menu = fOverwrite->Menu();
	int32 overwrite = menu->IndexOf(menu->FindMarked());
	(void)options->SetInt32("overwrite", overwrite < 0 ? 0 : overwrite);
	(void)options->SetInt32("askoverwrite", fAsk->Value() == B_CONTROL_ON ? 1 : 0);
	(void)options->SetInt32("createroot", fCreateRoot->Value() == B_CONTROL_ON ? 1 : 0);
	(void)options->SetInt32("createemptydirs", fEmptyFolders->Value() == B_CONTROL_ON ? 1 : 0);
}
