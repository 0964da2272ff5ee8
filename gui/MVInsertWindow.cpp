#include "MVInsertWindow.h"

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/ColumnListView.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>
#include <interface/StringView.h>

#include "BackupApplication.h"
#include "DialogButtons.h"
#include "GuiTexts.h"
#include "ServerProtocol.h"
#include "Warning.h"

namespace {

constexpr uint32 kCmdDestinationChosen = 'news';
constexpr uint32 kCmdDestinationSettings = 'dset';
constexpr uint32 kCmdScan = 'scan';
constexpr float kWidth = 520;

enum Field : int32 {
	kFieldTitle = 0,
	kFieldID = 1,
	kFieldDate = 2,
	kFieldCatalogued = 3,
};

int32 sNextScan = 1;

}	// namespace


MVInsertWindow::MVInsertWindow(BPoint where, const BMessage& settings,
	std::set<std::string> catalogued, BMessenger target)
	:
	MVDialogWindow(BRect(where.x, where.y, where.x + kWidth, where.y + 330),
		GuiText(kTextInsertBackup), settings, kMsgInsertWindowReply, target),
	fShelf(AddOnShelf::ServerFolder()),
	fCatalogued(std::move(catalogued)),
	// Scans of other windows and clients answer to all; the id tells ours.
	fScanID(int32((system_time() & 0xffff) << 12) + sNextScan++)
{
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	background->AddChild(new BStringView(BRect(10, 10, 200, 26), "str_destination",
		GuiText(kTextDestination)));
	auto* menu = new BPopUpMenu("-");
	fShelf.FillMenu(menu, AddOnShelf::kDestination, kCmdDestinationChosen);
	fDestination = new BMenuField(BRect(10, 30, kWidth - 220, 54), "mnu_destination", nullptr,
		menu);
	background->AddChild(fDestination);
	(void)menu->SetTargetForItems(this);
	background->AddChild(new BButton(BRect(kWidth - 210, 30, kWidth - 110, 54),
		"btn_destination", GuiText(kTextSettings), new BMessage(kCmdDestinationSettings)));
	background->AddChild(new BButton(BRect(kWidth - 100, 30, kWidth - 10, 54), "btn_scan",
		"Scan", new BMessage(kCmdScan)));
	fFound = new BColumnListView(BRect(10, 64, kWidth - 10, 272), "lst_found", B_FOLLOW_ALL,
		B_WILL_DRAW | B_NAVIGABLE, B_FANCY_BORDER);
	const struct {
		int32 text;
		const char* title;
		float width;
	} columns[] = {{kTextTitle, nullptr, 180}, {-1, "ID", 110}, {-1, "Date", 130},
		{-1, "In catalogue", 80}};
	for (int32 index = 0; index < 4; index++) {
		const char* title = columns[index].text >= 0 ? GuiText(columns[index].text)
			: columns[index].title;
		fFound->AddColumn(new BStringColumn(title, columns[index].width, 30, 600), index);
	}
	fFound->SetSelectionMode(B_SINGLE_SELECTION_LIST);
	background->AddChild(fFound);
	AddDialogButtons(background);
	if (!Settings().HasData("addon", B_STRING_TYPE))
		(void)Settings().SetString("addon", "MVImage");
	_MarkChosen();
}


void MVInsertWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdDestinationChosen:
			_Chosen(message);
			break;
		case kCmdDestinationSettings:
		{
			BMessage volume;
			(void)Settings().FindMessage("volume", &volume);
			(void)fShelf.OpenSettings(AddOnShelf::kDestination,
				Settings().GetString("addon", "MVImage"), volume, this, this);
			break;
		}
		case kCmdScan:
			_Scan();
			break;
		case kMsgVolumeData:
			if (message->GetInt32("id", 0) == fScanID)
				_ShowFound(*message);
			break;
		case kCmdDialogOk:
			_Confirm();
			break;
		default:
			MVDialogWindow::MessageReceived(message);
			break;
	}
}


void MVInsertWindow::_Chosen(BMessage* message)
{
	BMessage volume;
	if (message->FindMessage("settings", &volume) == B_OK) {
		// The destination's settings window confirmed.
		if (message->GetBool("result", false))
			(void)Settings().SetMessage("volume", &volume);
		return;
	}
	const char* file = message->GetString("filename", nullptr);
	if (file == nullptr
		|| fShelf.DefaultSettings(AddOnShelf::kDestination, file, &volume) != B_OK) {
		return;
	}
	(void)Settings().SetString("addon", file);
	(void)Settings().SetMessage("volume", &volume);
	_MarkChosen();
}


void MVInsertWindow::_MarkChosen()
{
	std::string chosen = Settings().GetString("addon", "");
	BMenu* menu = fDestination->Menu();
	for (int32 index = 0; index < menu->CountItems(); index++) {
		BMenuItem* item = menu->ItemAt(index);
		item->SetMarked(chosen == item->Message()->GetString("filename", ""));
	}
}


void MVInsertWindow::_Scan()
{
	fFound->Clear();
	BMessage scan(kMsgVolumeScan);
	scan.AddString("name", Settings().GetString("addon", "MVImage"));
	BMessage volume;
	(void)Settings().FindMessage("volume", &volume);
	scan.AddMessage("settings", &volume);
	scan.AddInt32("id", fScanID);
	(void)BackupApplication::Get()->PostServer(&scan);
}


void MVInsertWindow::_ShowFound(const BMessage& found)
{
	fFound->Clear();
	const char* id;
	for (int32 index = 0; found.FindString("ID", index, &id) == B_OK; index++) {
		int32 date = 0;
		(void)found.FindTime("date", index, &date);
		auto* row = new BRow;
		row->SetField(new BStringField(found.GetString("title", index, "")), kFieldTitle);
		row->SetField(new BStringField(id), kFieldID);
		row->SetField(new BStringField(DateText(date).c_str()), kFieldDate);
		row->SetField(new BStringField(fCatalogued.count(id) != 0 ? GuiText(kTextYes)
			: GuiText(kTextNo)), kFieldCatalogued);
		fFound->AddRow(row);
	}
}


void MVInsertWindow::_Confirm()
{
	BRow* row = fFound->CurrentSelection();
	if (row == nullptr) {
		WarnUser("Insert", GuiText(kTextNoBackupToInsert));
		return;
	}
	(void)Settings().SetString("ID",
		static_cast<BStringField*>(row->GetField(kFieldID))->String());
	Confirm();
}
