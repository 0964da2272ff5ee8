#include "EngineWorkers.h"

#include "MVBackupServer.h"

BLooper* MakeEngineWorker(int32 jobType, const BMessage& job, const std::string& serverFolder)
{
	(void)job;
	switch (jobType) {
		case 1:
		case 2:
		case 3:
			return new MVBackupServer(serverFolder);
		default:
			return nullptr;
	}
}
