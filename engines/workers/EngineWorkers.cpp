#include "EngineWorkers.h"

#include "MVBackupServer.h"
#include "JobType.h"
#include "MVRestoreServer.h"

bool HasEngineWorker(int32 jobType)
{
	switch (jobType) {
		case kJobFullBackup:
		case kJobIncrementalBackup:
		case kJobDifferentialBackup:
		case kJobRestore:
			return true;
		default:
			return false;
	}
}

BLooper* MakeEngineWorker(int32 jobType, const BMessage& job, const std::string& serverFolder)
{
	(void)job;
	switch (jobType) {
		case kJobFullBackup:
		case kJobIncrementalBackup:
		case kJobDifferentialBackup:
			return new MVBackupServer(serverFolder);
		case kJobRestore:
			return new MVRestoreServer(serverFolder);
		default:
			return nullptr;
	}
}
