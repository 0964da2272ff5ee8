#pragma once

// Text ids (appsupport/MVDefaultTexts.h) that more than one job engine writes.
// Texts only one engine uses stay with that engine.

#include <support/SupportDefs.h>

enum : int32 {
	kTextTime = 13,
	// Speed in MB/s, KB/s and bytes/s: consecutive ids, see JobStatistics.
	kTextSpeedMB = 14,
	kTextSpeedKB = 15,
	kTextSpeedBytes = 16,
	kTextAddOnLoad = 22,
	kTextStart = 33,
	kTextScanning = 41,
	kTextContinue = 74,
	kTextSettings = 98,
	// "%s": a line of its own text.
	kTextSingle = 279,
};
