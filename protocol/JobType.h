#pragma once

// The kinds of job ("job_type" of a job record, the job index, the job
// notices and the reports).

#include <support/SupportDefs.h>

enum : int32 {
	kJobFullBackup = 1,
	kJobIncrementalBackup = 2,
	kJobDifferentialBackup = 3,
	kJobRestore = 4,
	kJobCompare = 5,
	kJobInsert = 6,
};

constexpr bool IsKnownJobType(int32 type)
{
	return type >= kJobFullBackup && type <= kJobInsert;
}

constexpr bool IsBackupJob(int32 type)
{
	return type >= kJobFullBackup && type <= kJobDifferentialBackup;
}

// Incremental and differential backups save what changed since their base.
constexpr bool BacksUpChangesOnly(int32 type)
{
	return type == kJobIncrementalBackup || type == kJobDifferentialBackup;
}
