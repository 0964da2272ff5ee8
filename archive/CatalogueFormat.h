#pragma once

// The catalogue of a backup: one flattened BMessage (docs/message-format.md),
// stored as the file "logdata/<backup ID>" beside the server program and as
// the catalogue record at the end of the backup stream. docs/archive-format.md
// has the prose.
//
// Backup-wide fields, in this order ("MV_LOGSIZE" after the last entry):
//   "MV_LOGID" string | "MV_LOGTITLE" string | "MV_LOGDATE" int32
//   "MV_LOGKOMPRESSION" string (absent: no compressor, read as "MVNone")
//   "cruncher_settings" message | "MV_LOGCRYPT" string (empty: no password)
//   "MV_PRGVERSION" int16 | "MV_LOGZIELADDON" string | "MV_LOGZIELSETT" message
//   "selection" message | "removable" int16 | "job_id" int32 | "mode" int32
//   "base_id" int32 | "MV_LOGSIZE" int64
//   "MV_LOGSCANNED" int32, after "MV_LOGSIZE" and only in a catalogue that an
//   insert rebuilt from the file headers because the backup's catalogue record
//   could not be read: 1 (such a catalogue has no selection and no compressor
//   settings, and the sizes of its folders are those their headers carry)
//   "MV_LOGMEDIANAMES" string [], added later and ignored by older readers:
//   the name of each medium of the backup by which it is asked for again
//   (a tape's media ID), entry N - 1 for medium N, "" where a medium has
//   none. Absent for destinations without medium names.
//   "MV_LOGINCOMPLETE" int32 [], added later and ignored by older readers:
//   the entry numbers ("aktfilenr") of files whose data could not be read in
//   full while they were backed up (they shrank, or reading failed); the
//   stream holds zeros for the rest. Absent when every file was complete.
// Per entry, parallel arrays in stream order:
//   "MV_LOGNAME" string | "MV_LOGTYP" int32 | "MV_LOGREALSIZE" int64
//   "MV_LOGLEVEL" int32 | "MV_LOGMEDIANR" int32 | "MV_LOGOFFSET" int64
//   "MV_LOGMODIFIED" 'TIME' 4 bytes | "aktfilenr" int32
//
// Attributes of the catalogue file, each at position 0, little-endian:
//   "MVBACKUP:title" 'CSTR' title and NUL | "MVBACKUP:date" 'TIME' 4
//   "MVBACKUP:prgver" 'USHT' 2 | "MVBACKUP:size" 'ULLG' 8
//   "MVBACKUP:job_id" 'LONG' 4 | "MVBACKUP:mode" 'LONG' 4
//   "MVBACKUP:base_id" 'LONG' 4 | "MVBACKUP:pw" 'LONG' 4 (1: password set)
//   "MVBACKUP:dest" 'CSTR' the destination add-on and NUL (added later:
//   older catalogue files lack it)

constexpr const char* kCatalogueFolder = "logdata";
constexpr const char* kCatalogueDefaultCompressor = "MVNone";

constexpr const char* kLogIdKey = "MV_LOGID";
constexpr const char* kLogTitleKey = "MV_LOGTITLE";
constexpr const char* kLogDateKey = "MV_LOGDATE";
constexpr const char* kLogCompressionKey = "MV_LOGKOMPRESSION";
constexpr const char* kLogCruncherSettingsKey = "cruncher_settings";
constexpr const char* kLogCryptKey = "MV_LOGCRYPT";
constexpr const char* kLogVersionKey = "MV_PRGVERSION";
constexpr const char* kLogDestinationKey = "MV_LOGZIELADDON";
constexpr const char* kLogDestinationSettingsKey = "MV_LOGZIELSETT";
constexpr const char* kLogSelectionKey = "selection";
constexpr const char* kLogRemovableKey = "removable";
constexpr const char* kLogJobIdKey = "job_id";
constexpr const char* kLogModeKey = "mode";
constexpr const char* kLogBaseIdKey = "base_id";
constexpr const char* kLogSizeKey = "MV_LOGSIZE";
constexpr const char* kLogScannedKey = "MV_LOGSCANNED";
constexpr const char* kLogIncompleteKey = "MV_LOGINCOMPLETE";
constexpr const char* kLogMediumNamesKey = "MV_LOGMEDIANAMES";

constexpr const char* kLogNameKey = "MV_LOGNAME";
constexpr const char* kLogTypeKey = "MV_LOGTYP";
constexpr const char* kLogRealSizeKey = "MV_LOGREALSIZE";
constexpr const char* kLogLevelKey = "MV_LOGLEVEL";
constexpr const char* kLogMediumKey = "MV_LOGMEDIANR";
constexpr const char* kLogOffsetKey = "MV_LOGOFFSET";
constexpr const char* kLogModifiedKey = "MV_LOGMODIFIED";
constexpr const char* kLogEntryNumberKey = "aktfilenr";

constexpr const char* kCatalogueTitleAttribute = "MVBACKUP:title";
constexpr const char* kCatalogueDateAttribute = "MVBACKUP:date";
constexpr const char* kCatalogueVersionAttribute = "MVBACKUP:prgver";
constexpr const char* kCatalogueSizeAttribute = "MVBACKUP:size";
constexpr const char* kCatalogueJobIdAttribute = "MVBACKUP:job_id";
constexpr const char* kCatalogueModeAttribute = "MVBACKUP:mode";
constexpr const char* kCatalogueBaseIdAttribute = "MVBACKUP:base_id";
constexpr const char* kCataloguePasswordAttribute = "MVBACKUP:pw";
constexpr const char* kCatalogueDestinationAttribute = "MVBACKUP:dest";
