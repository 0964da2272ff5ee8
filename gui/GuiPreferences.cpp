#include "GuiPreferences.h"

#include <algorithm>

#include <app/Message.h>

#include "GuiProtocol.h"
#include "Preferences.h"

namespace GuiPreferences {

namespace {

const uint32 kToolbarModes[] = {kCmdToolbarNone, kCmdToolbarIconOnly, kCmdToolbarTextOnly,
	kCmdToolbarIconAndText, kCmdToolbarIconAboveText};

struct StatusKey {
	const char* key;
	int32 defaultValue;
	int32 min;
	int32 max;
};

const StatusKey kStatusKeys[] = {
	{kStatusAutoOpen, 1, 0, 1},
	{kStatusCloseWhenEmpty, 1, 0, 1},
	{kStatusRemoveFinished, 1, 0, 1},
	{kStatusRemoveDelay, 10, 0, 9999},
	{kStatusFollowMain, 0, 0, 1},
};

// A frame too big for any screen is no frame.
bool IsUsableFrame(BRect frame)
{
	return frame.Width() > 0 && frame.Height() > 0 && frame.Width() < 100000
		&& frame.Height() < 100000 && frame.left > -100000 && frame.top > -100000
		&& frame.left < 100000 && frame.top < 100000;
}

}	// namespace


void SetDefaults(Preferences* prefs)
{
	if (!prefs->HasData(kPrefLastView, B_INT8_TYPE))
		(void)prefs->Set(kPrefLastView, int8(0));
	if (!prefs->HasData(kPrefLastTool, B_INT8_TYPE))
		(void)prefs->Set(kPrefLastTool, int8(0));
	if (!prefs->HasData(kPrefAutoprefs, B_INT8_TYPE))
		(void)prefs->Set(kPrefAutoprefs, int8(1));
	if (!prefs->HasData(kPrefToolbar, B_INT32_TYPE))
		(void)prefs->Set(kPrefToolbar, int32(kCmdToolbarIconAndText));
	if (!prefs->HasData(kPrefStatus, B_MESSAGE_TYPE))
		(void)prefs->Set(kPrefStatus, StatusSettings(*prefs));
}


BRect MainFrame(Preferences* prefs)
{
	BRect frame = prefs->GetRect(kPrefMainFrame, BRect());
	if (!IsUsableFrame(frame)) {
		frame = kDefaultMainFrame;
		(void)prefs->Set(kPrefMainFrame, frame);
	}
	return frame;
}


uint32 ToolbarMode(const Preferences& prefs)
{
	uint32 stored = uint32(prefs.GetInt32(kPrefToolbar, kCmdToolbarIconAndText));
	for (uint32 mode : kToolbarModes) {
		if (stored == mode)
			return mode;
	}
	return kCmdToolbarIconAndText;
}


BMessage StatusSettings(const Preferences& prefs)
{
	BMessage settings = prefs.GetMessageData(kPrefStatus);
	for (const StatusKey& key : kStatusKeys) {
		int32 value = std::clamp(settings.GetInt32(key.key, key.defaultValue), key.min, key.max);
		// A value of another type under the key gives way to the right one.
		if (settings.SetInt32(key.key, value) != B_OK) {
			(void)settings.RemoveName(key.key);
			(void)settings.AddInt32(key.key, value);
		}
	}
	return settings;
}

}	// namespace GuiPreferences
