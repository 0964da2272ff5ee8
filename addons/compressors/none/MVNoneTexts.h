#pragma once

// The pass-through compressor's own texts, for MVLocale under the
// application id kNoneLocaleAppID; locale files in "add-ons/compressors/locale"
// translate them. Ids keep their meaning for ever.

#include <support/SupportDefs.h>

constexpr const char* kNoneLocaleAppID = "mvnone locale";

enum : int32 {
	kNoneTextOk = 0,
	kNoneTextCancel = 1,
	kNoneTextNoSettings = 2,
	kNoneTextSettingsTitle = 3,
	kNoneTextCount = 4
};

extern const char* const kNoneTexts[kNoneTextCount];
