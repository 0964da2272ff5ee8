#include "MVImageWindow.h"

#include <algorithm>
#include <cstring>

#include <interface/Box.h>
#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/StringView.h>
#include <storage/Path.h>
#include <storage/VolumeTable.h>

#include "MVDirFilePanel.h"
#include "MVDirFilter.h"
#include "MVImage.h"
#include "MVImageTexts.h"
#include "MVLocale.h"
#include "MVSetView.h"

namespace {

constexpr float kMinWidth = 400;
constexpr float kMinHeight = 175;
constexpr float kMaxSize = 10000;
constexpr const char* kTargetView = "TargetDir";
constexpr const char* kOverwriteView = "Overwrite";
constexpr const char* kCreatePathView = "CreatePath";
constexpr const char* kBootPrefix = "/boot";

}	// namespace


MVImageWindow::MVImageWindow(const char* title, BWindow* parent, BMessage settings,
	BHandler* target)
	:
	MVSetWindow(title, parent, std::move(settings), kVolumeSettingsReply, target,
		B_TITLED_WINDOW_LOOK, B_FLOATING_APP_WINDOW_FEEL, B_NOT_RESIZABLE | B_NOT_ZOOMABLE)
{
	SetSizeLimits(kMinWidth, kMaxSize, kMinHeight, kMaxSize);
	_AddControls();
}


MVImageWindow::~MVImageWindow() = default;


void MVImageWindow::_AddControls()
{
	BView* view = BkgView();
	float width = view->Bounds().Width();
	view->AddChild(new BStringView(BRect(10, 10, width - 10, 26), nullptr,
		Locale()->Text(kImageTextTargetFolder)));
	view->AddChild(new BButton(BRect(10, 30, 90, 50), "btn_location",
		Locale()->Text(kImageTextLocation), new BMessage(kImageChangeFolder)));
	view->AddChild(new BBox(BRect(95, 33, width - 10, 53), nullptr,
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
	view->AddChild(new BStringView(BRect(105, 30, width - 15, 50), kTargetView,
		Settings()->GetString(kVolumeNameKey, "")));
	_AddCheckBox(kOverwriteView, kImageTextOverwrite, kImageOverwrite, 60,
		Settings()->GetBool(kVolumeOverwriteKey));
	_AddCheckBox(kCreatePathView, kImageTextCreatePath, kImageCreatePath, 85,
		Settings()->GetBool(kImageCreatePathKey));
}


// A check box keeps its place and width but gets at least the height its
// widget needs to show the label whole.
void MVImageWindow::_AddCheckBox(const char* name, int32 text, uint32 command, float top,
	bool value)
{
	BView* view = BkgView();
	BRect frame(13, top, view->Bounds().Width() - 100, top + 10);
	auto* box = new BCheckBox(frame, name, Locale()->Text(text), new BMessage(command));
	box->SetValue(value ? B_CONTROL_ON : B_CONTROL_OFF);
	view->AddChild(box);
	float preferredHeight;
	box->GetPreferredSize(nullptr, &preferredHeight);
	box->ResizeTo(frame.Width(), std::max(frame.Height(), preferredHeight));
}


void MVImageWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kImageChangeFolder:
			_ShowFolderPanel();
			break;
		case kImageOverwrite:
			_StoreFlag(kOverwriteView, kVolumeOverwriteKey);
			break;
		case kImageCreatePath:
			_StoreFlag(kCreatePathView, kImageCreatePathKey);
			break;
		case kDirPanelSelect:
			_ClosePanel();
			_FolderChosen(message);
			break;
		case B_REFS_RECEIVED:
			_FolderChosen(message);
			break;
		case B_CANCEL:
			_PanelClosed();
			break;
		default:
			MVSetWindow::MessageReceived(message);
			break;
	}
}


void MVImageWindow::Quit()
{
	_ClosePanel();
	fFilter.reset();
	MVSetWindow::Quit();
}


BFilePanel* MVImageWindow::FolderPanel() const
{
	return fPanel.get();
}


std::string MVImageWindow::WithBootVolumeName(const char* path)
{
	std::string result = path != nullptr ? path : "";
	size_t length = strlen(kBootPrefix);
	bool onBoot = result.compare(0, length, kBootPrefix) == 0
		&& (result.size() == length || result[length] == '/');
	VolumeTable::Volume boot;
	if (!onBoot || VolumeTable::GetVolume(VolumeTable::BootDevice(), &boot) != B_OK)
		return result;
	return "/" + boot.name + result.substr(length);
}


// The panel opens in the folder that holds the current target, when there
// is one; else where it was.
void MVImageWindow::_ShowFolderPanel()
{
	if (!fPanel) {
		if (!fFilter)
			fFilter = std::make_unique<MVDirFilter>();
		fPanel = std::make_unique<MVDirFilePanel>(nullptr, fFilter.get());
	}
	if (fPanel->IsShowing())
		return;
	auto* target = dynamic_cast<BStringView*>(FindView(kTargetView));
	BPath folder(target != nullptr ? target->Text() : nullptr);
	BPath parent;
	if (folder.InitCheck() == B_OK && folder.GetParent(&parent) == B_OK)
		(void)fPanel->SetPanelDirectory(parent.Path());
	fPanel->SetTarget(BMessenger(this));
	fPanel->SetTitle(Locale()->Text(kImageTextSelectFolder));
	fPanel->Show();
}


void MVImageWindow::_StoreFlag(const char* viewName, const char* key)
{
	auto* box = dynamic_cast<BCheckBox*>(FindView(viewName));
	if (box != nullptr)
		(void)Settings()->SetBool(key, box->Value() == B_CONTROL_ON);
}


void MVImageWindow::_FolderChosen(const BMessage* message)
{
	entry_ref ref;
	BPath path;
	auto* target = dynamic_cast<BStringView*>(FindView(kTargetView));
	if (message->FindRef("refs", &ref) == B_OK && path.SetTo(&ref) == B_OK
			&& target != nullptr) {
		std::string folder = WithBootVolumeName(path.Path());
		target->SetText(folder.c_str());
		(void)Settings()->SetString(kVolumeNameKey, folder);
	}
	_PanelClosed();
}


void MVImageWindow::_PanelClosed()
{
	if (!IsActive())
		Activate();
}


void MVImageWindow::_ClosePanel()
{
	fPanel.reset();
}
