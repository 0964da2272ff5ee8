#include "MVNone.h"

#include <new>

#include "MVNoneTexts.h"
#include "MVNoneWindow.h"

MVNone::MVNone()
	:
	BHandler("MVNone"),
	fSettingsWindow(this, {kNoneLocaleAppID, kNoneTexts, kNoneTextCount}, kNoneTextSettingsTitle)
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

void MVNone::Settings(BWindow* parent, BHandler* target, const char* language)
{
	fSettingsWindow.OpenFor<MVNoneWindow>(this, parent, target, language);
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
	if (!fSettingsWindow.TakeReply(message, kCruncherSettingsReply, this))
		BHandler::MessageReceived(message);
}

MVCruncher* MVNone::Instantiate(const BMessage* archive)
{
	if (!_ArchiveNamesClass(archive, "MVNone"))
		return nullptr;
	return new (std::nothrow) MVNone();
}
