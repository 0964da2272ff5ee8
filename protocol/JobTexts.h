#pragma once

// Text ids (appsupport/MVDefaultTexts.h) that more than one job engine
// writes or that clients look for. Texts only one engine uses stay with that
// engine (BackupTexts.h, RestoreTexts.h, CompareTexts.h, InsertTexts.h).

#include <support/SupportDefs.h>

enum : int32 {
	// Catalogue files: a path that cannot be set up, a file that cannot be
	// made.
	kTextCataloguePath = 7,
	kTextCatalogueCreate = 8,
	kTextTime = 13,
	// Speed in MB/s, KB/s and bytes/s: consecutive ids, see JobStatistics.
	kTextSpeedMB = 14,
	kTextSpeedKB = 15,
	kTextSpeedBytes = 16,
	// "Can't load add-on %s": the file is missing or not an add-on.
	kTextAddOnLoad = 22,
	// "Add-on %s is corrupt": it loads but has no factory.
	kTextAddOnCorrupt = 23,
	kTextStart = 33,
	kTextNoMemory = 34,
	kTextScanning = 41,
	// A backup written by a newer program: title, major and minor version.
	kTextNewerVersion = 56,
	kTextContinue = 74,
	// Reading backups (restore, compare, insert): the catalogue, the media,
	// the backup and its records.
	kTextNoDatabase = 50,
	kTextInsertMedia = 51,
	kTextNoSuchBackup = 53,
	kTextNoBackupHeader = 54,
	kTextCannotReadItem = 67,
	kTextCannotReadBlock = 86,
	kTextCannotReadBlockHeader = 87,
	kTextBlockMismatch = 88,
	kTextCannotReadLink = 90,
	kTextCannotReadLinkHeader = 91,
	kTextLinkMismatch = 92,
	kTextBackupLoaded = 325,
	// A file the catalogue marks incomplete: it shrank or could not be
	// read while it was backed up.
	kTextIncompleteInBackup = 343,
	kTextSettings = 98,
	// "%s": a line of its own text.
	kTextSingle = 279,
};
