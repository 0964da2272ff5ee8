#pragma once

// The text ids only the compare engine writes (the texts are in
// appsupport/MVDefaultTexts.h); the shared ones are in JobTexts.h.

#include "JobTexts.h"
#include "ReportLineType.h"

enum : int32 {
	kTextStartingCompare = 282,
	kTextNothingToCompare = 283,
	kTextSizeDifferent = 284,
	kTextModifiedDifferent = 285,
	kTextCreatedDifferent = 286,
	kTextGroupDifferent = 287,
	kTextUserDifferent = 288,
	kTextPermissionsDifferent = 289,
	kTextCannotAccessSource = 290,
	kTextLinkDifferent = 291,
	kTextFilesCompared = 292,
	// Followed by the KB and bytes texts (JobStatistics::AmountLine).
	kTextBytesComparedMB = 293,
	kTextCompareSuccessful = 296,
	kTextCompareAborted = 297,
	kTextAttributeSizeDifferent = 298,
	kTextAttributeDataDifferent = 299,
	kTextCannotReadLiveAttribute = 300,
	kTextDataDifferent = 302,
	kTextCannotReadSource = 303,
	kTextCannotReadBackupData = 304,
	kTextCannotReadBackupBlockHeader = 305,
	// The compare items, in the order of the opening lines.
	kTextItemFileData = 308,
	kTextSelectedItems = 318,
	kTextCannotReadLiveAttributes = 319,
	kTextCompareEndedWithErrors = 320,
	kTextMisscompared = 321,
	kTextReadErrors = 322,
};
