#include "MVCruncher.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr const char* kNameKey = "MVCRUNAME";
constexpr const char* kWindowFrameKey = "winpos";

}

MVCruncher::MVCruncher() = default;

MVCruncher::~MVCruncher() = default;

status_t MVCruncher::Archive(BMessage* into, bool deep) const
{
	if (into == nullptr)
		return B_BAD_VALUE;
	BRect frame;
	if (fSettings.FindRect(kWindowFrameKey, &frame) != B_OK)
		frame = BRect();
	status_t status = into->AddString("class", "MVCruncher");
	if (status != B_OK)
		return status;
	return into->AddRect(kWindowFrameKey, frame);
}

bool MVCruncher::HasSettings() const
{
	return false;
}

void MVCruncher::Settings(BWindow* parent, BHandler* target, const char* language)
{
}

void MVCruncher::SetPref(BMessage settings)
{
	fSettings = std::move(settings);
}

void MVCruncher::GetPref(BMessage* settings) const
{
	if (settings == nullptr)
		return;
	*settings = fSettings;
}

const char* MVCruncher::MenuName() const
{
	return nullptr;
}

void MVCruncher::GetMenuName(char* buffer, size_t bufferSize) const
{
}

const char* MVCruncher::Name() const
{
	return fSettings.GetString(kNameKey, nullptr);
}

void MVCruncher::GetName(char* buffer, size_t bufferSize) const
{
	const char* name = Name();
	_CopyText(name != nullptr ? name : "", buffer, bufferSize);
}

void MVCruncher::SetName(const char* name)
{
	if (name == nullptr)
		return;
	// A "MVCRUNAME" of another type (from settings read off a job file) is
	// dropped first, so that the name is always a string.
	type_code type;
	if (fSettings.GetInfo(kNameKey, &type) == B_OK && type != B_STRING_TYPE)
		fSettings.RemoveName(kNameKey);
	fSettings.SetString(kNameKey, name);
}

uint32 MVCruncher::Compress(const uint8* source, uint8* destination, uint32 length)
{
	if (length > 0)
		memcpy(destination, source, length);
	return length;
}

uint32 MVCruncher::Decompress(const uint8* source, uint8* destination, uint32 length)
{
	// A packed length from a damaged block header must not overrun the
	// destination.
	if (length > kCruncherDestinationSize)
		return kCruncherBadData;
	if (length > 0)
		memcpy(destination, source, length);
	return length;
}

void MVCruncher::SetWinPos(BRect frame)
{
	type_code type;
	if (fSettings.GetInfo(kWindowFrameKey, &type) == B_OK && type != B_RECT_TYPE)
		fSettings.RemoveName(kWindowFrameKey);
	if (fSettings.ReplaceRect(kWindowFrameKey, frame) != B_OK)
		fSettings.AddRect(kWindowFrameKey, frame);
}

MVCruncher* MVCruncher::Instantiate(const BMessage* archive)
{
	if (!_ArchiveNamesClass(archive, "MVCruncher"))
		return nullptr;
	return new (std::nothrow) MVCruncher();
}

bool MVCruncher::_ArchiveNamesClass(const BMessage* archive, const char* className)
{
	if (archive == nullptr || className == nullptr)
		return false;
	const char* entry;
	for (int32 index = 0; archive->FindString("class", index, &entry) == B_OK; index++) {
		if (strcmp(entry, className) == 0)
			return true;
	}
	return false;
}

void MVCruncher::_CopyText(const char* text, char* buffer, size_t bufferSize)
{
	if (buffer == nullptr || bufferSize == 0)
		return;
	size_t length = strnlen(text, bufferSize - 1);
	memcpy(buffer, text, length);
	buffer[length] = '\0';
}
