#pragma once

// The text ids only the insert engine writes (the texts are in
// appsupport/MVDefaultTexts.h); the shared ones are in JobTexts.h.

#include "JobTexts.h"
#include "ReportLineType.h"

enum : int32 {
	kTextStartingInsert = 160,
	kTextInsertLastMedia = 161,
	kTextBackupsToInsert = 162,
	kTextInsertBackup = 163,
	kTextNothingToInsert = 164,
	kTextFilesInserted = 165,
	// Followed by the KB and bytes texts (JobStatistics::AmountLine).
	kTextBytesInsertedMB = 166,
	kTextInsertSuccessful = 169,
	kTextInsertAborted = 170,
	// The destination the backups are read from.
	kTextInsertingFrom = 171,
	kTextQuickInsertFailed = 172,
	kTextBackupCorrupt = 173,
	kTextInsertEndedWithErrors = 341,
};
