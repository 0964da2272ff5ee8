// Shows the server at work from a client's side: start it from the installed
// tree, register, ask for the job queue, unregister, and watch the server
// end at its next pulse because no client is left.

#include <app/Application.h>
#include <app/Message.h>
#include <app/Roster.h>

#include <chrono>
#include <ctime>
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

// A full backup of a home folder to an image folder, held in the queue
// (there is no backup engine yet to run it).
BMessage HeldBackupJob()
{
	BMessage selection('SELE');
	selection.AddString("INCLUDE", "/boot/home/*");
	BMessage schedule;
	schedule.AddTime("TIME", int32(time(nullptr)) + 3600);
	BMessage start;
	start.AddString("title", "Home folder");
	start.AddInt32("submitonhold", 1);
	BMessage job('MVJA');
	job.AddInt32("job_type", 1);
	job.AddInt32("client_id", current_team());
	job.AddMessage("selection", &selection);
	job.AddString("addon", "MVImage");
	job.AddString("bak_addonpacker", "MVLZRW1");
	job.AddMessage("scheduler", &schedule);
	job.AddMessage("start_info", &start);
	return job;
}

// Prints the job queue as 'MVJL' gives it.
bool ShowJobs(const BMessenger& server)
{
	static const char* const kStates[] = {"?", "waiting", "running", "paused", "edit"};
	BMessage index;
	if (server.SendMessage('MVJL', &index) != B_OK)
		return false;
	type_code type;
	int32 jobs = 0;
	index.GetInfo("job_id", &type, &jobs);
	printf("the job queue ('MVJL'): %d %s\n", jobs, jobs == 1 ? "job" : "jobs");
	for (int32 slot = 0; slot < jobs; slot++) {
		int32 state = index.GetInt32("jobstatus", slot, 0);
		printf("  job %d  \"%s\"  %s\n", index.GetInt32("job_id", slot, 0),
			index.GetString("title", slot, ""), kStates[state >= 1 && state <= 4 ? state : 0]);
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

	if (!ShowJobs(messenger))
		return false;
	BMessage job = HeldBackupJob();
	BMessage accepted;
	if (messenger.SendMessage(&job, &accepted) != B_OK || accepted.what != 'MVji')
		return false;
	int32 jobId = accepted.GetInt32("job_id", 0);
	printf("queued a full backup job on hold with 'MVJA': the server answered 'MVji', job %d\n",
		jobId);
	if (!ShowJobs(messenger))
		return false;
	BMessage removeJob('MVJD');
	removeJob.AddInt32("job_id", jobId);
	if (messenger.SendMessage(&removeJob) != B_OK)
		return false;
	printf("removed job %d with 'MVJD'\n", jobId);
	if (!ShowJobs(messenger))
		return false;

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
