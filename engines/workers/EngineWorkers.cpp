#include "EngineWorkers.h"

#include "MVBackupServer.h"
#include "MVRestoreServer.h"

BLooper* MakeEngineWorker(int32 jobType, const BMessage& job, const std::string& serverFolder)
{
	(void)job;
	switch (jobType) {
		case 1:
		case 2:
		case 3:
			return new MVBackupServer(serverFolder);
		case 4:
			return new MVRestoreServer(serverFolder);
		default:
			return nullptr;
	}
}
