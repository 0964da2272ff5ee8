#include "MVStreamerWindow.h"

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>

#include <algorithm>
#include <vector>

#include "MVLocale.h"
#include "MVPulseUtil.h"
#include "MVSetView.h"
#include "MVStreamer.h"
#include "MVStreamerTexts.h"
#include "TapeDriveScan.h"

namespace {

constexpr float kMinWidth = 400;
constexpr float kMinHeight = 175;
constexpr float kMaxSize = 10000;
// Wide enough for the labels in the fonts of today's desktops.
constexpr float kDivider = 80;
constexpr int32 kPulseInterval = 10000000;
constexpr size_t kQuickEraseBlock = 32000;
constexpr size_t kCompleteEraseBlock = 28672;
constexpr const char* kDriveMenu = "mnu_streamer";
constexpr const char* kCommandMenu = "mnu_command";
constexpr const char* kGoButton = "btn_go";
constexpr const char* kOverwriteView = "Overwrite";
constexpr const char* kCompressionView = "HWCompression";
// The commands of "mnu_command", by their text.
constexpr int32 kCommands[] = {kStreamerTextQuickErase, kStreamerTextCompleteErase,
	kStreamerTextEject, kStreamerTextRewind, kStreamerTextRescan, kStreamerTextRetension};

}	// namespace


MVStreamerWindow::MVStreamerWindow(const char* title, BWindow* parent, BMessage settings,
	BHandler* target)
	:
	MVSetWindow(title, parent, std::move(settings), kVolumeSettingsReply, target,
		B_TITLED_WINDOW_LOOK, B_FLOATING_APP_WINDOW_FEEL, B_NOT_RESIZABLE | B_NOT_ZOOMABLE)
{
	SetSizeLimits(kMinWidth, kMaxSize, kMinHeight, kMaxSize);
	_AddControls();
	fPulse = std::make_unique<MVPulseUtil>(kPulseInterval, kStreamerPulse, this);
}


MVStreamerWindow::~MVStreamerWindow() = default;


void MVStreamerWindow::_AddControls()
{
	BView* view = BkgView();
	float width = view->Bounds().Width();
	auto* drives = new BMenuField(BRect(10, 10, width - 10, 32), kDriveMenu,
		Locale()->Text(kStreamerTextStreamer), new BPopUpMenu("streamer"));
	drives->SetDivider(kDivider);
	view->AddChild(drives);
	_FillDriveMenu();

	auto* commands = new BPopUpMenu(Locale()->Text(kStreamerTextSelectCommand));
	for (int32 text : kCommands) {
		auto* command = new BMessage(kStreamerCommand);
		command->AddInt32("text", text);
		commands->AddItem(new BMenuItem(Locale()->Text(text), command));
	}
	auto* commandField = new BMenuField(BRect(10, 40, width - 100, 62), kCommandMenu,
		Locale()->Text(kStreamerTextCommand), commands);
	commandField->SetDivider(kDivider);
	view->AddChild(commandField);
	view->AddChild(new BButton(BRect(width - 90, 40, width - 10, 62), kGoButton,
		Locale()->Text(kStreamerTextGo), new BMessage(kStreamerGo)));
	_UpdateGo();

	struct Box {
		const char* name;
		int32 text;
		uint32 command;
		const char* key;
		float top;
	};
	for (const Box& box : {Box{kOverwriteView, kStreamerTextOverwrite, kStreamerOverwrite,
				kVolumeOverwriteKey, 72},
			Box{kCompressionView, kStreamerTextHardwareCompression, kStreamerCompression,
				MVStreamer::kCompressionKey, 96}}) {
		auto* check = new BCheckBox(BRect(13, box.top, width - 100, box.top + 20), box.name,
			Locale()->Text(box.text), new BMessage(box.command));
		check->SetValue(Settings()->GetBool(box.key, false) ? B_CONTROL_ON : B_CONTROL_OFF);
		view->AddChild(check);
	}
}


// The tape drives found; the one the settings name is marked, else the
// first, which then becomes the settings' drive.
void MVStreamerWindow::_FillDriveMenu()
{
	auto* field = dynamic_cast<BMenuField*>(FindView(kDriveMenu));
	BMenu* menu = field->Menu();
	menu->RemoveItems(0, menu->CountItems(), true);
	std::string current = Settings()->GetString(kVolumeNameKey, " ");
	for (const TapeDrive& drive : TapeDriveScan::Scan()) {
		auto* message = new BMessage(kStreamerTape);
		message->AddString("menuname", drive.MenuName().c_str());
		message->AddString("filename", drive.path.c_str());
		auto* item = new BMenuItem(drive.MenuName().c_str(), message);
		item->SetTarget(this);
		menu->AddItem(item);
		if (drive.MenuName() == current)
			item->SetMarked(true);
	}
	if (menu->FindMarked() == nullptr && menu->CountItems() > 0) {
		menu->ItemAt(0)->SetMarked(true);
		(void)menu->ItemAt(0)->Invoke();
	}
}


void MVStreamerWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kStreamerTape:
			(void)Settings()->SetString(kVolumeNameKey, message->GetString("menuname", ""));
			(void)Settings()->SetString(MVStreamer::kDeviceKey,
				message->GetString("filename", ""));
			fDevice.Unset();
			_UpdateGo();
			break;
		case kStreamerOverwrite:
			_StoreFlag(kOverwriteView, kVolumeOverwriteKey);
			break;
		case kStreamerCompression:
			_StoreFlag(kCompressionView, MVStreamer::kCompressionKey);
			break;
		case kStreamerPulse:
			_UpdateGo();
			break;
		case kStreamerGo:
			_RunCommand();
			break;
		case kStreamerCommand:
			break;
		default:
			MVSetWindow::MessageReceived(message);
			break;
	}
}


void MVStreamerWindow::_StoreFlag(const char* viewName, const char* key)
{
	auto* box = dynamic_cast<BCheckBox*>(FindView(viewName));
	if (box != nullptr)
		(void)Settings()->SetBool(key, box->Value() == B_CONTROL_ON);
}


bool MVStreamerWindow::_OpenDevice()
{
	if (fDevice.InitCheck() == B_OK)
		return true;
	return fDevice.SetTo(Settings()->GetString(MVStreamer::kDeviceKey, nullptr)) == 0;
}


// "btn_go" is enabled exactly while the drive answers ready.
void MVStreamerWindow::_UpdateGo()
{
	auto* go = dynamic_cast<BButton*>(FindView(kGoButton));
	if (go == nullptr)
		return;
	bool ready = !IsErasing() && _OpenDevice() && fDevice.TestUnitReady() == 0;
	go->SetEnabled(ready);
}


void MVStreamerWindow::_RunCommand()
{
	auto* go = dynamic_cast<BButton*>(FindView(kGoButton));
	if (go != nullptr)
		go->SetEnabled(false);
	auto* field = dynamic_cast<BMenuField*>(FindView(kCommandMenu));
	BMenuItem* marked = field != nullptr ? field->Menu()->FindMarked() : nullptr;
	if (marked == nullptr || !_OpenDevice())
		return;
	switch (marked->Message()->GetInt32("text", -1)) {
		case kStreamerTextQuickErase: {
			std::vector<uint8> zeros(kQuickEraseBlock, 0);
			if (fDevice.Rewind() == 0 && fDevice.Write(zeros.data(), zeros.size(), false) == 0
				&& fDevice.Rewind() == 0)
				(void)fDevice.Erase(true, false);
			break;
		}
		case kStreamerTextCompleteErase:
			_StartCompleteErase();
			break;
		case kStreamerTextEject:
			(void)fDevice.LoadUnload(false, false, false, false);
			break;
		case kStreamerTextRewind:
		case kStreamerTextRescan:
			(void)fDevice.Rewind();
			break;
		case kStreamerTextRetension:
			(void)fDevice.LoadUnload(false, false, true, true);
			break;
	}
}


// Writes zeros over the whole tape, with a device of its own, until the tape
// ends or the window asks it to stop.
void MVStreamerWindow::_StartCompleteErase()
{
	if (IsErasing())
		return;
	_StopErase();
	fErase = std::make_shared<EraseState>();
	fErase->running = true;
	std::string path = Settings()->GetString(MVStreamer::kDeviceKey, "");
	fEraseThread = std::thread([erase = fErase, path] {
		MVSCSI device(path.c_str());
		std::vector<uint8> zeros(kCompleteEraseBlock, 0);
		if (device.InitCheck() == B_OK && device.Rewind() == 0) {
			while (!erase->stop && device.Write(zeros.data(), zeros.size(), false) == 0) {
			}
		}
		erase->running = false;
	});
}


void MVStreamerWindow::_StopErase()
{
	if (!fEraseThread.joinable())
		return;
	fErase->stop = true;
	fEraseThread.join();
}


// Closed without OK, the window stops an erase it started; with OK the erase
// runs on to its end.
void MVStreamerWindow::Quit()
{
	fPulse.reset();
	if (Result()) {
		if (fEraseThread.joinable())
			fEraseThread.detach();
	} else {
		_StopErase();
	}
	MVSetWindow::Quit();
}
