#pragma once

// The text ids only the backup engine writes (the texts are in
// appsupport/MVDefaultTexts.h); the shared ones are in JobTexts.h.

#include "JobTexts.h"
#include "ReportLineType.h"

enum : int32 {
	// Media and destination.
	kTextMediaFull = 2,
	kTextDestinationFull = 3,
	kTextCatalogueWrite = 5,
	kTextCatalogueMemory = 6,
	// Statistics.
	kTextFilesSaved = 9,
	// Followed by the KB and bytes texts (JobStatistics::AmountLine).
	kTextBytesSavedMB = 10,
	kTextBackupSuccessful = 17,
	kTextBackupAborted = 18,
	// Writing.
	kTextLinkWrite = 19,
	kTextDataWrite = 20,
	kTextHeaderWrite = 21,
	kTextStartingBackup = 24,
	// Settings.
	kTextDestination = 25,
	kTextCapacity = 26,
	kTextFreeSpace = 27,
	kTextRemovable = 28,
	kTextNotRemovable = 29,
	kTextOverwrite = 30,
	kTextNoOverwrite = 31,
	kTextMode = 32,
	kTextFullMode = 174,
	kTextIncrementalMode = 175,
	kTextDifferentialMode = 176,
	// Failures and steps.
	kTextNoAccess = 36,
	kTextNoDestination = 37,
	kTextReadOnly = 38,
	kTextDeleting = 39,
	kTextDeletingMedium = 40,
	kTextNothingSelected = 42,
	kTextNoSpace = 43,
	kTextCannotWrite = 44,
	kTextSpaceNeeded = 45,
	kTextBackupData = 48,
	kTextMedium = 49,
	kTextAttributes = 319,
	kTextPackRatio = 323,
	kTextCannotRead = 326,
	kTextBackupEndedWithErrors = 339,
};
