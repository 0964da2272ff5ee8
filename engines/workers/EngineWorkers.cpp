#include "EngineWorkers.h"

#include "MVBackupServer.h"
#include "MVCompareServer.h"
#include "MVInsertServer.h"
#include "JobType.h"
#include "MVRestoreServer.h"

bool HasEngineWorker(int32 jobType)
{
	switch (jobType) {
		case kJobFullBackup:
		case kJobIncrementalBackup:
		case kJobDifferentialBackup:
		case kJobRestore:
		case kJobCompare:
		case kJobInsert:
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
		case kJobCompare:
			return new MVCompareServer(serverFolder);
		case kJobInsert:
			return new MVInsertServer(serverFolder);
		default:
			return nullptr;
	}
}
