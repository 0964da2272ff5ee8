// Shows the server at work from a client's side: start it from the installed
// tree, register, ask for the job queue, unregister, and watch the server
// end at its next pulse because no client is left.

#include <app/Application.h>
#include <app/Message.h>
#include <app/Roster.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kServerSignature = "application/x-vnd.morvanesoft-backupserver";
constexpr const char* kClientSignature = "application/x-vnd.morvanesoft-backup-demo";

double SecondsSince(std::chrono::steady_clock::time_point start)
{
	return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Waits up to the time limit for the server to run (or to be gone).
bool WaitForServer(bool running, double seconds)
{
	auto start = std::chrono::steady_clock::now();
	while (be_roster->IsRunning(kServerSignature) != running) {
		if (SecondsSince(start) > seconds)
			return false;
		snooze(20000);
	}
	return true;
}

bool RunDemo(const std::string& serverPath)
{
	printf("== Starting the server %s\n", serverPath.c_str());
	team_id server;
	status_t status = be_roster->Launch(serverPath.c_str(), {}, &server);
	if (status != B_OK || !WaitForServer(true, 10)) {
		fprintf(stderr, "the server did not start: %s\n", strerror_status(status));
		return false;
	}
	printf("the server runs as team %d\n", server);

	BMessenger messenger(kServerSignature);
	BMessage add('MVAD');
	add.AddInt32("client_id", current_team());
	if (messenger.SendMessage(&add) != B_OK)
		return false;
	printf("registered as client %d with 'MVAD'\n", current_team());

	BMessage index;
	if (messenger.SendMessage('MVJL', &index) != B_OK)
		return false;
	type_code type;
	int32 jobs = 0;
	index.GetInfo("job_id", &type, &jobs);
	printf("the job queue ('MVJL'): %d jobs\n  %s\n", jobs, index.ToString().c_str());

	BMessage remove('MVRM');
	remove.AddInt32("client_id", current_team());
	if (messenger.SendMessage(&remove) != B_OK)
		return false;
	auto start = std::chrono::steady_clock::now();
	printf("unregistered with 'MVRM'; waiting for the server's next pulse...\n");
	while (messenger.IsValid()) {
		if (SecondsSince(start) > 15) {
			fprintf(stderr, "the server is still running\n");
			return false;
		}
		snooze(20000);
	}
	printf("the server ended %.1f s later, with no client left; the roster %s it\n",
		SecondsSince(start), be_roster->IsRunning(kServerSignature) ? "still lists" : "no longer lists");
	return !be_roster->IsRunning(kServerSignature);
}

}	// namespace

int main(int argc, char** argv)
{
	if (argc < 2) {
		fprintf(stderr, "usage: %s <installed tree>\n", argv[0]);
		return 2;
	}
	std::string runtime = std::filesystem::temp_directory_path() / "morvane-demo-XXXXXX";
	if (mkdtemp(runtime.data()) == nullptr)
		return 1;
	// A runtime folder of its own keeps the demo apart from a running installation.
	setenv("MORVANE_RUNTIME_DIR", runtime.c_str(), 1);
	bool ok;
	{
		BApplication client(kClientSignature);
		ok = RunDemo(std::string(argv[1]) + "/Backup_Server/MorvaneServer");
	}
	std::filesystem::remove_all(runtime);
	printf(ok ? "\nThe server works.\n" : "\nThe demo failed.\n");
	return ok ? 0 : 1;
}
