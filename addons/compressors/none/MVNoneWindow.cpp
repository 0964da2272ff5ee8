#include "MVNoneWindow.h"

#include <interface/StringView.h>

#include "MVLocale.h"
#include "MVNone.h"
#include "MVNoneTexts.h"
#include "MVSetView.h"

namespace {

constexpr float kMinWidth = 400;
constexpr float kMinHeight = 175;
constexpr float kMaxSize = 10000;

}	// namespace


MVNoneWindow::MVNoneWindow(const char* title, BWindow* parent, BMessage settings,
	BHandler* target)
	:
	MVSetWindow(title, parent, std::move(settings), kCruncherSettingsReply, target,
		B_TITLED_WINDOW_LOOK, B_FLOATING_APP_WINDOW_FEEL, B_NOT_RESIZABLE | B_NOT_ZOOMABLE)
{
	SetSizeLimits(kMinWidth, kMaxSize, kMinHeight, kMaxSize);
	BView* view = BkgView();
	view->AddChild(new BStringView(BRect(10, 10, view->Bounds().Width() - 10, 26), nullptr,
		Locale()->Text(kNoneTextNoSettings)));
}
