// MorvaneServer: the backup server program.
//
//   MorvaneServer [--daemon]
//
// Only one server runs per user. A second one ends at once with exit code 0
// and changes nothing: it first claims the instance lock, which settles a
// race of two servers started together, and then asks the roster, as every
// program may. Without --daemon the server ends at the first pulse that
// finds no registered client; with it, it stays up until it is told to quit
// (B_QUIT_REQUESTED, SIGTERM, SIGINT or SIGHUP), so that scheduled jobs run
// without a GUI.

#include <app/Roster.h>
#include <storage/VolumeTable.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "EngineWorkers.h"
#include "MVInstanceLock.h"
#include "MVServer.h"
#include "MVServerLog.h"
#include "MVServerSettings.h"
#include "MVSignalWatcher.h"
#include "ProgramFolder.h"
#include "ServerProtocol.h"

namespace {

constexpr int kUsageError = 2;

void PrintUsage(FILE* stream)
{
	fprintf(stream, "Usage: MorvaneServer [--daemon]\n"
		"  --daemon  stay up while no client is registered\n");
}

// False when the arguments ask for no server; *exitCode then tells why.
bool ParseArguments(int argc, char** argv, MVServerSettings* settings, int* exitCode)
{
	for (int i = 1; i < argc; i++) {
		if (strcmp(argv[i], "--daemon") == 0) {
			settings->daemon = true;
		} else if (strcmp(argv[i], "--help") == 0) {
			PrintUsage(stdout);
			*exitCode = 0;
			return false;
		} else {
			fprintf(stderr, "MorvaneServer: unknown argument \"%s\"\n", argv[i]);
			PrintUsage(stderr);
			*exitCode = kUsageError;
			return false;
		}
	}
	return true;
}

// A server whose runtime folder differs (another login's environment) must
// not work on the same program folder as one that runs. False when another
// server holds it; a folder that cannot be locked is only logged.
bool ClaimProgramFolder(const std::string& programFolder, MVInstanceLock* lock, MVServerLog* log)
{
	std::string native;
	status_t status = VolumeTable::ToNative(programFolder.c_str(), &native);
	if (status == B_OK)
		status = lock->Acquire(native.c_str());
	if (status == B_BUSY) {
		pid_t holder = MVInstanceLock::HolderOf(native.c_str());
		std::string holderText = holder > 0 ? "process " + std::to_string(holder)
			: std::string("another process");
		fprintf(stderr, "MorvaneServer: the server of %s already works on the program folder "
			"\"%s\"; this one does not start.\n", holderText.c_str(), programFolder.c_str());
		log->Log("A second server (team %d) did not start: the server of %s works on this "
			"folder.", int(getpid()), holderText.c_str());
		return false;
	}
	if (status != B_OK) {
		log->Log("The program folder cannot be locked (%s); another server on it would not "
			"be noticed.", strerror_status(status));
	}
	return true;
}

}	// namespace

int main(int argc, char** argv)
{
	MVServerSettings settings;
	int exitCode = 0;
	if (!ParseArguments(argc, argv, &settings, &exitCode))
		return exitCode;

	// Everything the server makes (images, catalogues, reports, the job
	// list, preferences and their folders) is its user's alone; a user who
	// wants to share a folder loosens it, and existing modes are kept.
	umask(077);

	// Before any thread exists, so that every thread inherits the mask.
	MVSignalWatcher signals;

	MVInstanceLock instanceLock;
	status_t status = instanceLock.Acquire();
	if (status == B_BUSY) {
		fprintf(stderr, "MorvaneServer: another server is starting or running.\n");
		return 0;
	}
	if (status != B_OK) {
		fprintf(stderr, "MorvaneServer: the instance lock cannot be claimed (%s); "
			"only the roster is asked.\n", strerror_status(status));
	}
	if (be_roster->IsRunning(kServerSignature)) {
		fprintf(stderr, "MorvaneServer: another server is running.\n");
		return 0;
	}

	status_t folderStatus = GetProgramFolder(&settings.programFolder);
	MVServerLog log(settings.programFolder.c_str());
	settings.log = &log;
	MVInstanceLock folderLock;
	if (folderStatus == B_OK && !ClaimProgramFolder(settings.programFolder, &folderLock, &log))
		return 1;
	std::string serverFolder = settings.programFolder;
	settings.workerFactory = [serverFolder](int32 jobType, const BMessage& job) {
		return MakeEngineWorker(jobType, job, serverFolder);
	};
	settings.runsJobType = HasEngineWorker;
	if (folderStatus != B_OK)
		log.Log("The folder of the program lies on no volume: %s", strerror_status(folderStatus));
	log.Log("The server starts (team %d, folder \"%s\"%s).", int(getpid()),
		settings.programFolder.c_str(), settings.daemon ? ", as a daemon" : "");

	MVServer* server = new MVServer(settings);
	signals.Start(BMessenger(server), &log);
	server->Run();
	delete server;
	signals.Stop();

	log.Log("The server stopped.");
	return 0;
}
