// Messages between real processes: this test program starts copies of itself
// that run a small application, and talks to them through the roster and
// messengers.

#include <app/Application.h>
#include <app/Looper.h>
#include <app/Message.h>
#include <app/Roster.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <cstdlib>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestFolder.h"

extern char** environ;

namespace {

constexpr const char* kEchoSignature = "application/x-vnd.morvane-test-echo";
constexpr uint32 kEcho = 'ECHO';
constexpr uint32 kIgnore = 'IGNR';
constexpr uint32 kCallBack = 'CALL';
constexpr uint32 kQuitEcho = 'QUIT';
constexpr bigtime_t kPatience = 20000000;

// The runtime folder every process of this test program meets in (set up by
// tests/common for the whole program).
std::string RuntimeFolder()
{
	return getenv("MORVANE_RUNTIME_DIR");
}

// The application the child processes run: it answers echo requests, calls
// back a messenger it is given, and ignores kIgnore.
class EchoApp : public BApplication {
public:
	EchoApp() : BApplication(kEchoSignature) {}

	void MessageReceived(BMessage* message) override
	{
		switch (message->what) {
			case kEcho: {
				BMessage reply(B_REPLY);
				reply.AddInt32("value", message->GetInt32("value", -1));
				reply.AddInt32("team", current_team());
				reply.AddString("text", message->GetString("text", ""));
				(void)message->SendReply(&reply);
				break;
			}
			case kCallBack: {
				BMessenger target;
				if (message->FindMessenger("user", &target) == B_OK) {
					BMessage call('back');
					call.AddInt32("team", current_team());
					(void)target.SendMessage(&call);
				}
				break;
			}
			case kQuitEcho:
				Quit();
				break;
			case kIgnore:
				break;
			default:
				BApplication::MessageReceived(message);
				break;
		}
	}
};

// A copy of this test program running EchoApp; killed and reaped at the end.
class EchoProcess {
public:
	EchoProcess()
	{
		std::string filter = "--gtest_filter=RemoteMessagingChild.RunEchoApplication";
		char* argv[] = {const_cast<char*>("/proc/self/exe"), filter.data(), nullptr};
		setenv("MORVANE_ECHO_CHILD", "1", 1);
		if (posix_spawn(&fTeam, "/proc/self/exe", nullptr, nullptr, argv, environ) != 0)
			fTeam = -1;
		unsetenv("MORVANE_ECHO_CHILD");
	}
	~EchoProcess() { Kill(); }

	team_id Team() const { return fTeam; }

	bool WaitRegistered() const
	{
		app_info info;
		for (bigtime_t start = system_time(); system_time() - start < kPatience; (void)snooze(2000)) {
			if (be_roster->GetRunningAppInfo(fTeam, &info) == B_OK)
				return true;
		}
		return false;
	}

	void Kill()
	{
		if (fTeam <= 0)
			return;
		kill(fTeam, SIGKILL);
		Reap();
	}

	int Reap()
	{
		int status = -1;
		if (fTeam > 0)
			waitpid(fTeam, &status, 0);
		fTeam = -1;
		return status;
	}

private:
	pid_t fTeam = -1;
};

// A looper of the test process whose handler records what arrives.
class Inbox : public BLooper {
public:
	Inbox() : BLooper("inbox") {}

	void MessageReceived(BMessage* message) override
	{
		std::lock_guard<std::mutex> guard(fLock);
		fReceived.push_back(*message);
		fCondition.notify_all();
	}

	bool WaitFor(size_t count)
	{
		std::unique_lock<std::mutex> guard(fLock);
		return fCondition.wait_for(guard, std::chrono::microseconds(kPatience),
			[&] { return fReceived.size() >= count; });
	}

	BMessage At(size_t index)
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fReceived.at(index);
	}

private:
	std::mutex fLock;
	std::condition_variable fCondition;
	std::vector<BMessage> fReceived;
};

int ConnectRaw(team_id team)
{
	int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
	sockaddr_un address = {};
	address.sun_family = AF_UNIX;
	std::string path = RuntimeFolder() + "/" + std::to_string(team) + ".sock";
	strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
	if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
		close(fd);
		return -1;
	}
	return fd;
}

bool Echoes(const BMessenger& messenger, int32 value)
{
	BMessage request(kEcho);
	request.AddInt32("value", value);
	BMessage reply;
	return messenger.SendMessage(&request, &reply, B_INFINITE_TIMEOUT, kPatience) == B_OK
		&& reply.GetInt32("value", -1) == value;
}

}	// namespace

// Not a test of its own: the body of the child processes.
TEST(RemoteMessagingChild, RunEchoApplication)
{
	if (getenv("MORVANE_ECHO_CHILD") == nullptr)
		GTEST_SKIP() << "runs only as a child of the other tests";
	EchoApp app;
	app.Run();
	// exit(), not _exit(): the process ends as applications do.
	exit(0);
}

// A synchronous request crosses to another process and its reply comes back, also when dropped.
TEST(RemoteMessagingTest, SynchronousRequestsAcrossProcesses)
{
	EchoProcess echo;
	ASSERT_GT(echo.Team(), 0);
	ASSERT_TRUE(echo.WaitRegistered());

	status_t status;
	BMessenger bySignature(kEchoSignature, -1, &status);
	ASSERT_EQ(status, B_OK);
	EXPECT_EQ(bySignature.Team(), echo.Team());
	EXPECT_FALSE(bySignature.IsTargetLocal());
	EXPECT_TRUE(bySignature.IsValid());
	BMessenger byTeam(nullptr, echo.Team(), &status);
	ASSERT_EQ(status, B_OK);

	BMessage request(kEcho);
	request.AddInt32("value", 7);
	request.AddString("text", std::string(300000, 'x'));
	BMessage reply;
	ASSERT_EQ(byTeam.SendMessage(&request, &reply, B_INFINITE_TIMEOUT, kPatience), B_OK);
	EXPECT_EQ(reply.what, uint32(B_REPLY));
	EXPECT_TRUE(reply.IsReply());
	EXPECT_TRUE(reply.IsSourceRemote());
	EXPECT_EQ(reply.GetInt32("value", -1), 7);
	EXPECT_EQ(reply.GetInt32("team", -1), echo.Team());
	EXPECT_EQ(strlen(reply.GetString("text", "")), 300000u);

	ASSERT_EQ(bySignature.SendMessage(kIgnore, &reply), B_OK);
	EXPECT_EQ(reply.what, uint32(B_NO_REPLY));
	ASSERT_EQ(bySignature.SendMessage('unkn', &reply), B_OK);
	EXPECT_EQ(reply.what, uint32(B_MESSAGE_NOT_UNDERSTOOD));

	BMessenger wrongSignature("application/x-vnd.other", echo.Team(), &status);
	EXPECT_EQ(status, B_MISMATCHED_VALUES);
	EXPECT_FALSE(wrongSignature.IsValid());
}

// A messenger carried inside a message reaches its handler back in this process.
TEST(RemoteMessagingTest, MessengersInsideMessagesReachTheirHandler)
{
	EchoProcess echo;
	ASSERT_TRUE(echo.WaitRegistered());
	Inbox* inbox = new Inbox;
	ASSERT_GE(inbox->Run(), 0);
	class Subscriber : public BHandler {
	public:
		explicit Subscriber(Inbox* inbox) : BHandler("subscriber"), fInbox(inbox) {}
		void MessageReceived(BMessage* message) override
		{
			message->AddBool("reached subscriber", true);
			fInbox->MessageReceived(message);
		}

	private:
		Inbox* fInbox;
	};
	Subscriber subscriber(inbox);
	ASSERT_TRUE(inbox->Lock());
	inbox->AddHandler(&subscriber);
	inbox->Unlock();

	BMessage request(kCallBack);
	request.AddMessenger("user", BMessenger(&subscriber));
	ASSERT_EQ(BMessenger(kEchoSignature).SendMessage(&request), B_OK);
	ASSERT_TRUE(inbox->WaitFor(1));
	BMessage call = inbox->At(0);
	EXPECT_EQ(call.what, uint32('back'));
	EXPECT_EQ(call.GetInt32("team", -1), echo.Team());
	EXPECT_TRUE(call.GetBool("reached subscriber"));

	// An asynchronous request's reply goes to the handler named for it.
	BMessage echoRequest(kEcho);
	echoRequest.AddInt32("value", 11);
	ASSERT_EQ(BMessenger(kEchoSignature).SendMessage(&echoRequest, &subscriber), B_OK);
	ASSERT_TRUE(inbox->WaitFor(2));
	EXPECT_EQ(inbox->At(1).GetInt32("value", -1), 11);

	// Several at once travel one frame each, in order.
	const BMessage* batch[] = {&request, &request};
	ASSERT_EQ(BMessenger(kEchoSignature).SendMessages(batch, 2), B_OK);
	ASSERT_TRUE(inbox->WaitFor(4));
	EXPECT_EQ(inbox->At(3).what, uint32('back'));

	ASSERT_TRUE(inbox->Lock());
	inbox->RemoveHandler(&subscriber);
	inbox->Quit();
}

// Once the other process has ended, its messengers are invalid and the roster forgets it.
TEST(RemoteMessagingTest, EndedProcessesAreInvalid)
{
	EchoProcess echo;
	ASSERT_TRUE(echo.WaitRegistered());
	team_id team = echo.Team();
	BMessenger messenger(nullptr, team);
	ASSERT_TRUE(Echoes(messenger, 1));
	std::vector<team_id> teams;
	be_roster->GetAppList(kEchoSignature, &teams);
	EXPECT_EQ(teams, std::vector<team_id>{team});

	// The application quits on request and its process ends cleanly.
	ASSERT_EQ(messenger.SendMessage(kQuitEcho), B_OK);
	int status = echo.Reap();
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
	EXPECT_FALSE(messenger.IsValid());
	EXPECT_EQ(messenger.SendMessage(kEcho), B_BAD_PORT_ID);
	BMessage echoRequest(kEcho);
	const BMessage* batch[] = {&echoRequest};
	EXPECT_EQ(messenger.SendMessages(batch, 1), B_BAD_PORT_ID);
	app_info info;
	EXPECT_EQ(be_roster->GetRunningAppInfo(team, &info), B_BAD_TEAM_ID);
	be_roster->GetAppList(kEchoSignature, &teams);
	EXPECT_TRUE(teams.empty());
	EXPECT_EQ(be_roster->TeamFor(kEchoSignature), B_ERROR);

	// A process that is killed leaves files behind; the roster ignores and removes them.
	EchoProcess killed;
	ASSERT_TRUE(killed.WaitRegistered());
	team_id killedTeam = killed.Team();
	BMessenger toKilled(nullptr, killedTeam);
	killed.Kill();
	EXPECT_FALSE(toKilled.IsValid());
	EXPECT_EQ(be_roster->GetRunningAppInfo(killedTeam, &info), B_BAD_TEAM_ID);
	struct stat status2;
	EXPECT_NE(stat((RuntimeFolder() + "/" + std::to_string(killedTeam) + ".app").c_str(),
		&status2), 0);

	// The socket of the process that quit went with it. One left by a
	// process that ended without a word (no application, so the roster
	// never looks at it) goes when the next process starts listening.
	auto socketOf = [](team_id of) { return RuntimeFolder() + "/" + std::to_string(of) + ".sock"; };
	EXPECT_NE(stat(socketOf(team).c_str(), &status2), 0);
	pid_t ended = -1;
	char* trueArgv[] = {const_cast<char*>("true"), nullptr};
	ASSERT_EQ(posix_spawnp(&ended, "true", nullptr, nullptr, trueArgv, environ), 0);
	ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
	ASSERT_TRUE(std::ofstream(socketOf(ended)).good());
	EchoProcess next;
	ASSERT_TRUE(next.WaitRegistered());
	EXPECT_NE(stat(socketOf(ended).c_str(), &status2), 0);
	EXPECT_EQ(stat(socketOf(next.Team()).c_str(), &status2), 0);
}

// Garbage, lies and half frames close that connection only; the process goes on serving others.
TEST(RemoteMessagingTest, BrokenFramesCloseOnlyTheirConnection)
{
	EchoProcess echo;
	ASSERT_TRUE(echo.WaitRegistered());
	BMessenger messenger(nullptr, echo.Team());
	ASSERT_TRUE(Echoes(messenger, 1));

	std::vector<std::string> attacks = {
		std::string("GET / HTTP/1.0\r\n\r\n"),
		std::string("MVFR\0\0\0\0\xff\xff\xff\xff", 12),     // longer than any frame may be
		std::string("MVFR\0\0\0\0\x10\0\0\0garbagegarbage!!", 28),  // not a message
		std::string("MVFR\0\0\0\0\0\1\0\0short", 17),        // ends mid-frame
	};
	for (const std::string& attack : attacks) {
		int fd = ConnectRaw(echo.Team());
		ASSERT_GE(fd, 0);
		ASSERT_EQ(write(fd, attack.data(), attack.size()), ssize_t(attack.size()));
		shutdown(fd, SHUT_WR);
		// The peer closes its side (or resets it, when bytes were left
		// unread) once it has given up on the frame.
		char byte;
		EXPECT_LE(read(fd, &byte, 1), 0);
		close(fd);
		EXPECT_TRUE(Echoes(messenger, 2));
	}
}

// Programs are launched as processes of their own, not as children that nobody reaps.
TEST(RemoteMessagingTest, LaunchesPrograms)
{
	team_id team = -1;
	ASSERT_EQ(be_roster->Launch("/bin/sleep", {"30"}, &team), B_OK);
	ASSERT_GT(team, 0);
	EXPECT_EQ(waitpid(team, nullptr, WNOHANG), -1);   // not our child
	EXPECT_EQ(kill(team, 0), 0);
	kill(team, SIGKILL);
	EXPECT_EQ(be_roster->Launch("/nonexistent/program", {}, &team), B_ENTRY_NOT_FOUND);
	TestFolder folder;
	std::string notProgram = folder.WriteFile("not-a-program", "#!/nonexistent/interpreter\n");
	chmod(notProgram.c_str(), 0755);
	EXPECT_EQ(be_roster->Launch(notProgram.c_str(), {}, &team), B_LAUNCH_FAILED);
}
