#pragma once

// The image destination's own texts, for MVLocale under the application id
// kImageLocaleAppID; locale files in "add-ons/destination/locale" translate
// them. Ids keep their meaning for ever. The table is constant data that any
// thread may read.

#include <support/SupportDefs.h>

constexpr const char* kImageLocaleAppID = "mvimage locale";

enum : int32 {
	kImageTextOk = 0,
	kImageTextCancel = 1,
	kImageTextTargetFolder = 2,
	kImageTextLocation = 3,
	kImageTextOverwrite = 4,
	kImageTextCreatePath = 5,
	kImageTextSelectFolder = 6,
	kImageTextSettingsTitle = 7,
	kImageTextCount = 8
};

extern const char* const kImageTexts[kImageTextCount];
