#pragma once

// The text ids only the insert engine writes (the texts are in
// appsupport/MVDefaultTexts.h). It also writes shared ones: those of
// JobTexts.h, the backup-reading ones of RestoreTexts.h and the catalogue
// file ones of BackupTexts.h.

#include "BackupTexts.h"
#include "RestoreTexts.h"

enum : int32 {
	// The status line of an insert that ran to its end with error lines.
	kTextJobEndedWithErrors = 150,
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
	kTextQuickInsertFailed = 172,
	kTextBackupCorrupt = 173,
};
