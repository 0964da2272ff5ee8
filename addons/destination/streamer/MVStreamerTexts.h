#pragma once

// The streamer destination's own texts, for MVLocale under the application
// id kStreamerLocaleAppID. Ids keep their meaning for ever. The table is
// constant data that any thread may read.

#include <support/SupportDefs.h>

constexpr const char* kStreamerLocaleAppID = "mvstreamer locale";

enum : int32 {
	kStreamerTextOk = 0,
	kStreamerTextCancel = 1,
	kStreamerTextStreamer = 2,
	kStreamerTextSelectCommand = 3,
	kStreamerTextErase = 4,
	kStreamerTextFormat = 5,
	kStreamerTextEject = 6,
	kStreamerTextRewind = 7,
	kStreamerTextRescan = 8,
	kStreamerTextRetension = 9,
	kStreamerTextCommand = 10,
	kStreamerTextGo = 11,
	kStreamerTextHardwareCompression = 12,
	kStreamerTextOverwrite = 13,
	kStreamerTextSettingsTitle = 14,
	kStreamerTextQuickErase = 15,
	kStreamerTextCompleteErase = 16,
	kStreamerTextCount = 17
};

extern const char* const kStreamerTexts[kStreamerTextCount];
