#include "MVSettingsSession.h"

#include <dlfcn.h>

#include <string>

#include <app/Looper.h>
#include <interface/Display.h>
#include <interface/Window.h>
#include <storage/VolumeTable.h>
#include <support/TypeConstants.h>

#include "MVLocale.h"

namespace {

constexpr const char* kFrameKey = "winpos";
const BRect kDefaultFrame(20, 20, 420, 195);


// The system path of the "locale" folder beside the file this code was
// loaded from (the add-on's); empty when it lies on no volume.
std::string LocaleFolder()
{
	Dl_info info;
	if (dladdr(reinterpret_cast<const void*>(&LocaleFolder), &info) == 0
			|| info.dli_fname == nullptr)
		return "";
	std::string file = info.dli_fname;
	size_t slash = file.rfind('/');
	if (slash == std::string::npos)
		return "";
	std::string folder;
	if (VolumeTable::ToSystem((file.substr(0, slash) + "/locale").c_str(), &folder) != B_OK)
		return "";
	return folder;
}

}	// namespace


MVSettingsSession::MVSettingsSession(BHandler* handler, Texts texts, int32 titleText)
	:
	fHandler(handler),
	fTexts(texts),
	fTitleText(titleText)
{
}


MVSettingsSession::~MVSettingsSession()
{
	BLooper* looper = nullptr;
	fWindow.Target(&looper);
	if (looper != nullptr && looper->Lock())
		looper->Quit();
	_Leave();
}


bool MVSettingsSession::CanShow()
{
	return BDisplay::IsOpen();
}


// A window that went without its reply reaching the handler (it had no
// parent, or the parent went first) counts as closed.
bool MVSettingsSession::IsOpen() const
{
	return fWindow.IsValid();
}


bool MVSettingsSession::AddDefaultFrame(BMessage* settings)
{
	if (settings->HasData(kFrameKey, B_RECT_TYPE))
		return false;
	return settings->AddRect(kFrameKey, kDefaultFrame) == B_OK;
}


void MVSettingsSession::Open(BWindow* parent, BHandler* target, const char* language,
	const BMessage& settings, const WindowMaker& makeWindow)
{
	MVLocale* locale = _UseTexts(language);
	if (parent != nullptr && parent->Lock()) {
		_Join(parent);
		parent->Unlock();
	}
	BWindow* window = makeWindow(locale->Text(fTitleText), settings, fHandler);
	fWindow = BMessenger(nullptr, window);
	fParent = parent;
	fTarget = target;
}


void MVSettingsSession::Show()
{
	BLooper* looper = nullptr;
	fWindow.Target(&looper);
	auto* window = dynamic_cast<BWindow*>(looper);
	if (window != nullptr && window->Lock()) {
		window->Show();
		window->Unlock();
	}
}


bool MVSettingsSession::GetConfirmed(const BMessage* reply, BMessage* settings)
{
	return reply->GetBool("result", false) && reply->FindMessage("settings", settings) == B_OK;
}


void MVSettingsSession::Closed(BMessage* reply, bool confirmed)
{
	// A parent that went meanwhile misses the news.
	if (confirmed && fParent != nullptr && fParent == fHandler->Looper())
		(void)fParent->PostMessage(reply, fTarget);
	_Leave();
	_Forget();
}


MVLocale* MVSettingsSession::_UseTexts(const char* language) const
{
	MVLocale* locale = MVLocale::GetInstance();
	locale->SetAppID(fTexts.appID);
	locale->SetDefaultText(fTexts.table, fTexts.count, MVLocale::kEnglish);
	if (language != nullptr && language[0] != '\0') {
		std::string folder = LocaleFolder();
		// Without a file for the language the texts stay English.
		if (!folder.empty())
			(void)locale->SetLanguage(folder.c_str(), language);
	}
	return locale;
}


void MVSettingsSession::_Join(BLooper* looper)
{
	if (fHandler->Looper() == looper)
		return;
	_Leave();
	looper->AddHandler(fHandler);
}


void MVSettingsSession::_Leave()
{
	BLooper* looper = fHandler->Looper();
	// While the looper dispatches the reply, this thread holds its lock
	// already; the lock nests.
	if (looper != nullptr && looper->Lock()) {
		looper->RemoveHandler(fHandler);
		looper->Unlock();
	}
}


void MVSettingsSession::_Forget()
{
	fWindow = BMessenger();
	fParent = nullptr;
	fTarget = nullptr;
}
