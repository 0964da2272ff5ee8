// Messages between two processes: the round trip of a synchronous request
// and the rate of asynchronous posts, each set against the same work inside
// one process, measured in the same run. The program starts a copy of
// itself as the answering application, and then the server of the installed
// tree, to which it posts as a client does.

#include <app/Application.h>
#include <app/Looper.h>
#include <app/Message.h>
#include <app/Roster.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kSignature = "application/x-vnd.morvane-bench-echo";
constexpr uint32 kEcho = 'ECHO';
constexpr uint32 kCount = 'CONT';
constexpr int32 kRequests = 20000;
constexpr int32 kPosts = 200000;

// Answers echo requests and counts what is posted to it.
class Responder : public BLooper {
public:
	void MessageReceived(BMessage* message) override
	{
		switch (message->what) {
			case kEcho: {
				BMessage reply(B_REPLY);
				reply.AddInt32("counted", fCounted);
				(void)message->SendReply(&reply);
				break;
			}
			case kCount:
				fCounted++;
				break;
			default:
				BLooper::MessageReceived(message);
				break;
		}
	}

private:
	int32 fCounted = 0;
};

class ResponderApp : public BApplication {
public:
	ResponderApp() : BApplication(kSignature) {}
	void MessageReceived(BMessage* message) override
	{
		fResponder.MessageReceived(message);
	}

private:
	Responder fResponder;
};

double Seconds(std::chrono::steady_clock::time_point start)
{
	return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Microseconds per synchronous round trip.
double RoundTrip(const BMessenger& target)
{
	BMessage request(kEcho);
	request.AddString("path", "/Morvane HD/home/user/projects/file.cpp");
	BMessage reply;
	auto start = std::chrono::steady_clock::now();
	for (int32 i = 0; i < kRequests; i++) {
		if (target.SendMessage(&request, &reply) != B_OK)
			exit(1);
	}
	return Seconds(start) * 1e6 / kRequests;
}

// Posts per second, counted until the receiver has handled them all.
double PostRate(const BMessenger& target)
{
	BMessage post(kCount);
	post.AddInt32("job_id", 17);
	post.AddInt64("size", 1 << 20);
	BMessage reply;
	if (target.SendMessage(kEcho, &reply) != B_OK)
		exit(1);
	int32 before = reply.GetInt32("counted", 0);
	auto start = std::chrono::steady_clock::now();
	for (int32 i = 0; i < kPosts; i++) {
		if (target.SendMessage(&post) != B_OK)
			exit(1);
	}
	if (target.SendMessage(kEcho, &reply) != B_OK || reply.GetInt32("counted", 0) - before != kPosts)
		exit(1);
	return kPosts / Seconds(start);
}

// Posts per second a registered client gets through to the server: messages
// of a code the server hands to its default handling, then one request
// that is answered only after all of them were handled.
double ServerPostRate()
{
	const char* kServerSignature = "application/x-vnd.morvanesoft-backupserver";
	team_id server;
	std::string path = std::string(MORVANE_DIST_DIR) + "/Backup_Server/MorvaneServer";
	if (be_roster->Launch(path.c_str(), {}, &server) != B_OK)
		return 0;
	while (!be_roster->IsRunning(kServerSignature))
		(void)snooze(1000);
	BMessenger target(kServerSignature);
	BMessage add('MVAD');
	add.AddInt32("client_id", current_team());
	if (target.SendMessage(&add) != B_OK)
		return 0;
	BMessage post('bnch');
	post.AddInt64("size", 1 << 20);
	BMessage reply;
	auto start = std::chrono::steady_clock::now();
	for (int32 i = 0; i < kPosts; i++) {
		if (target.SendMessage(&post) != B_OK)
			exit(1);
	}
	if (target.SendMessage('MVJL', &reply) != B_OK)
		exit(1);
	double rate = kPosts / Seconds(start);
	BMessage remove('MVRM');
	remove.AddInt32("client_id", current_team());
	if (target.SendMessage(&remove) != B_OK)
		return 0;
	kill(server, SIGTERM);
	return rate;
}

int RunResponder()
{
	ResponderApp app;
	app.Run();
	return 0;
}

}	// namespace

int main(int argc, char** argv)
{
	if (argc > 1 && strcmp(argv[1], "--responder") == 0)
		return RunResponder();

	std::string runtime = std::filesystem::temp_directory_path() / "morvane-bench-XXXXXX";
	if (mkdtemp(runtime.data()) == nullptr)
		return 1;
	setenv("MORVANE_RUNTIME_DIR", runtime.c_str(), 1);
	pid_t child;
	char* childArgv[] = {argv[0], const_cast<char*>("--responder"), nullptr};
	if (posix_spawn(&child, argv[0], nullptr, nullptr, childArgv, environ) != 0)
		return 1;
	while (!be_roster->IsRunning(kSignature))
		(void)snooze(1000);

	// A client of the server must be an application the roster knows.
	BApplication client("application/x-vnd.morvane-bench-client");
	Responder* local = new Responder;
	local->Run();
	BMessenger inProcess(local);
	BMessenger otherProcess(kSignature);

	double localTrip = RoundTrip(inProcess);
	double remoteTrip = RoundTrip(otherProcess);
	double localRate = PostRate(inProcess);
	double remoteRate = PostRate(otherProcess);
	double serverRate = ServerPostRate();

	printf("remote-messaging-bench: %d requests, %d posts\n", kRequests, kPosts);
	printf("round trip      %8.1f us between processes   %8.1f us in one process   ratio %6.2f\n",
		remoteTrip, localTrip, remoteTrip / localTrip);
	printf("posts           %8.0f /s between processes   %8.0f /s in one process   ratio %6.2f\n",
		remoteRate, localRate, localRate / remoteRate);
	printf("posts to server %8.0f /s from one client        %8.0f /s in one process   ratio %6.2f\n",
		serverRate, localRate, serverRate > 0 ? localRate / serverRate : 0.0);

	kill(child, SIGTERM);
	waitpid(child, nullptr, 0);
	std::filesystem::remove_all(runtime);
	if (local->Lock())
		local->Quit();
	return 0;
}
