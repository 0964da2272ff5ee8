#include "MVNone.h"

#include <new>

#include <app/Looper.h>

MVNone::MVNone()
	:
	BHandler("MVNone")
{
}

MVNone::~MVNone() = default;

status_t MVNone::Archive(BMessage* into, bool deep) const
{
	status_t status = MVCruncher::Archive(into, deep);
	if (status != B_OK)
		return status;
	return into->AddString("class", "MVNone");
}

const char* MVNone::MenuName() const
{
	return "None";
}

void MVNone::GetMenuName(char* buffer, size_t bufferSize) const
{
	_CopyText(MenuName(), buffer, bufferSize);
}

void MVNone::MessageReceived(BMessage* message)
{
	if (message->what != kCruncherSettingsReply) {
		BHandler::MessageReceived(message);
		return;
	}
	_SettingsWindowClosed(message);
}

MVCruncher* MVNone::Instantiate(const BMessage* archive)
{
	if (!_ArchiveNamesClass(archive, "MVNone"))
		return nullptr;
	return new (std::nothrow) MVNone();
}

void MVNone::_SettingsWindowClosed(BMessage* reply)
{
	BMessage settings;
	if (reply->GetBool("result", false) && reply->FindMessage("settings", &settings) == B_OK) {
		SetPref(settings);
		// The settings are taken; a window that closed meanwhile misses
		// the news of it.
		if (fLooper != nullptr)
			(void)fLooper->PostMessage(reply, fTarget);
	}
	if (fLooper != nullptr && fLooper->Lock()) {
		fLooper->RemoveHandler(this);
		fLooper->Unlock();
	}
	fWindow = nullptr;
	fLooper = nullptr;
	fTarget = nullptr;
}
