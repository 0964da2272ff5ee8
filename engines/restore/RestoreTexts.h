#pragma once

// The text ids only the restore engine writes (the texts are in
// appsupport/MVDefaultTexts.h); the shared ones are in JobTexts.h.

#include "JobTexts.h"
#include "ReportLineType.h"

enum : int32 {
	kTextNothingToRestore = 55,
	kTextStartingRestore = 57,
	kTextOverwriteOlder = 58,
	kTextOverwriteRename = 59,
	kTextOverwriteYes = 60,
	kTextOverwriteNo = 61,
	kTextEmptyFoldersYes = 62,
	kTextEmptyFoldersNo = 63,
	kTextRootYes = 64,
	kTextRootNo = 65,
	kTextCannotCreateOnTarget = 66,
	kTextFilesRestored = 68,
	// Followed by the KB and bytes texts (JobStatistics::AmountLine).
	kTextBytesRestoredMB = 69,
	kTextRestoreSuccessful = 72,
	kTextRestoreAborted = 73,
	kTextRenameFailedFile = 75,
	kTextRenameFailedLink = 76,
	kTextCannotRenameFile = 77,
	kTextCannotRenameLink = 78,
	kTextCannotOverwriteFile = 79,
	kTextCannotOverwriteLink = 80,
	kTextCannotCreateFile = 81,
	kTextCannotCreateLink = 82,
	kTextCannotCreateFolder = 83,
	kTextFolderExists = 84,
	kTextCannotWriteBlock = 85,
	kTextRestoreEndedWithErrors = 340,
};
