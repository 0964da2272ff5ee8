// The server program as it runs: real processes started from a copy of the
// installed tree, clients in this process and in processes of their own, all
// meeting through the roster and messengers of the test program's runtime
// folder. The server pulses every 5 seconds; the tests that wait for a pulse
// are few.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <app/Roster.h>

#include "AwaitCondition.h"
#include "ChildProcess.h"
#include "ServerProtocol.h"
#include "ServerTree.h"
#include "TestClient.h"

namespace {

constexpr bigtime_t kStartPatience = 10000000;
// Long enough for a start and two pulses.
constexpr bigtime_t kPulsePatience = 15000000;
// A second server must end before the first pulse of the first one.
constexpr bigtime_t kAtOnce = 4000000;
constexpr bigtime_t kPatience = 10000000;

class ServerProcessTest : public testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(fTree.IsValid()) << "the installed tree " << MORVANE_DIST_DIR
			<< " cannot be copied";
	}

	// Starts a server and waits until the roster lists it.
	std::unique_ptr<ChildProcess> StartServer(const std::vector<std::string>& arguments = {})
	{
		std::unique_ptr<ChildProcess> server = fTree.StartServer(arguments);
		EXPECT_NE(server, nullptr);
		if (server != nullptr) {
			EXPECT_TRUE(AwaitRegistered(server->Pid(), kStartPatience));
		}
		return server;
	}

	static std::vector<team_id> RunningServers()
	{
		std::vector<team_id> teams;
		be_roster->GetAppList(kServerSignature, &teams);
		return teams;
	}

	static BMessage Request(const BMessenger& server, uint32 what, int32 jobId = 0)
	{
		BMessage request(what);
		if (jobId != 0)
			request.AddInt32("job_id", jobId);
		BMessage reply;
		EXPECT_EQ(server.SendMessage(&request, &reply, kPatience, kPatience), B_OK);
		return reply;
	}

	static void Withdraw(const BMessenger& server, const char* title)
	{
		BMessage message(kMsgWithdrawQuestion);
		message.AddInt32("job_id", 1);
		message.AddString("title", title);
		ASSERT_EQ(server.SendMessage(&message), B_OK);
	}

	static MessageInbox::Predicate Titled(const char* title)
	{
		return [title](const BMessage& message) {
			return strcmp(message.GetString("title", ""), title) == 0;
		};
	}

	// A raw connection to the server's socket; -1 with errno set on failure.
	static int ConnectRaw(pid_t server)
	{
		const char* runtime = getenv("MORVANE_RUNTIME_DIR");
		std::string path = std::string(runtime != nullptr ? runtime : "")
			+ "/" + std::to_string(server) + ".sock";
		sockaddr_un address = {};
		address.sun_family = AF_UNIX;
		if (runtime == nullptr || path.size() >= sizeof(address.sun_path)) {
			errno = EINVAL;
			return -1;
		}
		strcpy(address.sun_path, path.c_str());
		int peer = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
		if (peer >= 0
			&& connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
			int error = errno;
			close(peer);
			errno = error;
			return -1;
		}
		return peer;
	}

	// A number of /proc/<pid>/status ("VmRSS" in KiB, "Threads"); -1 when
	// it cannot be read.
	static long ProcessStatus(pid_t pid, const std::string& key)
	{
		std::string status = ReadWholeFile("/proc/" + std::to_string(pid) + "/status")
			.value_or("");
		size_t at = status.find("\n" + key + ":");
		return at == std::string::npos ? -1 : atol(status.c_str() + at + key.size() + 2);
	}

	static int32 CountOf(const std::string& text, const std::string& part)
	{
		int32 count = 0;
		for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
			count++;
		return count;
	}

	// Declared first, so that the processes started from it end before
	// it is removed.
	ServerTree fTree;
};

// A server started while one runs ends at once with exit code 0, without a
// trace in the running server's log, and the first one goes on.
TEST_F(ServerProcessTest, SecondServerEndsAtOnce)
{
	std::unique_ptr<ChildProcess> first = StartServer();
	ASSERT_NE(first, nullptr);

	std::unique_ptr<ChildProcess> second = fTree.StartServer();
	ASSERT_NE(second, nullptr);
	int exitCode = -1;
	ASSERT_TRUE(second->AwaitExit(kAtOnce, &exitCode));
	EXPECT_EQ(exitCode, 0);
	EXPECT_FALSE(first->HasEnded());
	EXPECT_EQ(RunningServers(), std::vector<team_id>{first->Pid()});
	EXPECT_EQ(fTree.ReadLog().find("team " + std::to_string(second->Pid())), std::string::npos);
}

// Two servers started at the same moment leave exactly one.
TEST_F(ServerProcessTest, ServersStartedTogetherLeaveOne)
{
	std::unique_ptr<ChildProcess> servers[2] = {fTree.StartServer(), fTree.StartServer()};
	ASSERT_NE(servers[0], nullptr);
	ASSERT_NE(servers[1], nullptr);

	ASSERT_TRUE(AwaitCondition([&] { return servers[0]->HasEnded() || servers[1]->HasEnded(); },
		kAtOnce));
	int ended = servers[0]->HasEnded() ? 0 : 1;
	int exitCode = -1;
	ASSERT_TRUE(servers[ended]->AwaitExit(0, &exitCode));
	EXPECT_EQ(exitCode, 0);

	ChildProcess& survivor = *servers[1 - ended];
	ASSERT_TRUE(AwaitRegistered(survivor.Pid(), kStartPatience));
	EXPECT_FALSE(survivor.HasEnded());
	EXPECT_EQ(RunningServers(), std::vector<team_id>{survivor.Pid()});
}

// A server of another runtime folder (another login's environment) does not
// start on a program folder that a server works on; it says which one.
TEST_F(ServerProcessTest, SecondServerOnTheSameProgramFolderRefuses)
{
	std::unique_ptr<ChildProcess> first = StartServer();
	ASSERT_NE(first, nullptr);
	TestFolder otherRuntime;
	ASSERT_EQ(chmod(otherRuntime.Path().c_str(), 0700), 0);
	std::vector<std::string> environment = fTree.Environment();
	environment.push_back("MORVANE_RUNTIME_DIR=" + otherRuntime.Path());
	ChildProcess second;
	ASSERT_EQ(second.Start(fTree.ServerProgram(), {}, environment), B_OK);
	int exitCode = -1;
	ASSERT_TRUE(second.AwaitExit(kAtOnce, &exitCode));
	EXPECT_EQ(exitCode, 1);
	EXPECT_TRUE(fTree.AwaitLogLine("the server of process " + std::to_string(first->Pid())
		+ " works on this folder", kPatience)) << fTree.ReadLog();
	EXPECT_FALSE(first->HasEnded());
}

// Idle connections and frames whose header announces 100 MiB and sends one
// byte cost the server no thread and no memory; it answers as before, and
// drops a connection whose frame stops arriving.
TEST_F(ServerProcessTest, IdleConnectionsAndLyingHeadersCostNothing)
{
	constexpr int kIdle = 1000;
	constexpr int kLying = 300;
	rlimit limit;
	ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
	if (limit.rlim_cur < rlim_t(kIdle + kLying + 200)) {
		limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, kIdle + kLying + 200);
		ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
	}
	if (limit.rlim_cur < rlim_t(kIdle + kLying + 200))
		GTEST_SKIP() << "this process may not hold enough descriptors";
	std::unique_ptr<ChildProcess> server = StartServer();
	ASSERT_NE(server, nullptr);
	TestClient client;
	client.Start();
	BMessenger messenger = ServerMessenger(server->Pid());
	ASSERT_EQ(client.Register(messenger), B_OK);
	long residentBefore = ProcessStatus(server->Pid(), "VmRSS");

	std::vector<int> peers;
	for (int i = 0; i < kIdle + kLying; i++) {
		int peer = ConnectRaw(server->Pid());
		ASSERT_GE(peer, 0) << i << ": " << strerror(errno);
		peers.push_back(peer);
	}
	char lie[13] = {'M', 'V', 'F', 'R', 0, 0, 0, 0, 0, 0, 0x40, 0x06, 'x'};
	for (int i = kIdle; i < kIdle + kLying; i++)
		ASSERT_EQ(write(peers[size_t(i)], lie, sizeof(lie)), ssize_t(sizeof(lie)));

	EXPECT_EQ(Request(messenger, kMsgJobList).what, 0u);
	long resident = ProcessStatus(server->Pid(), "VmRSS");
	EXPECT_LT(resident, 64 * 1024);
	EXPECT_LT(resident - residentBefore, 16 * 1024);
	EXPECT_LT(ProcessStatus(server->Pid(), "Threads"), 40);

	// The lying frames never complete: their connections are dropped, the
	// idle ones are kept.
	pollfd lying = {peers.back(), POLLIN, 0};
	ASSERT_EQ(poll(&lying, 1, int(kPatience / 1000) + 10000), 1);
	char byte;
	EXPECT_LE(read(peers.back(), &byte, 1), 0);
	pollfd idle = {peers.front(), POLLIN, 0};
	EXPECT_EQ(poll(&idle, 1, 0), 0);
	for (int peer : peers)
		close(peer);
	EXPECT_EQ(Request(messenger, kMsgJobList).what, 0u);
	EXPECT_FALSE(server->HasEnded());
}

// Without a client the server quits at its first pulse, with exit code 0;
// a messenger to it is valid while it runs and invalid once it has ended.
TEST_F(ServerProcessTest, ServerWithoutClientQuitsAtFirstPulse)
{
	std::unique_ptr<ChildProcess> server = StartServer();
	ASSERT_NE(server, nullptr);
	BMessenger messenger = ServerMessenger(server->Pid());
	EXPECT_TRUE(messenger.IsValid());

	int exitCode = -1;
	ASSERT_TRUE(server->AwaitExit(kPulsePatience, &exitCode));
	EXPECT_EQ(exitCode, 0);
	EXPECT_FALSE(messenger.IsValid());
	EXPECT_FALSE(ServerMessenger(server->Pid()).IsValid());
	std::string log = fTree.ReadLog();
	EXPECT_NE(log.find("No client is registered; the server quits."), std::string::npos) << log;
	EXPECT_NE(log.find("The server stopped."), std::string::npos) << log;
}

// A client registers once however often it says so, gets the broadcasts
// unchanged and once each, and none after unregistering; requests are
// answered across processes, and a code nobody takes is not understood.
TEST_F(ServerProcessTest, ClientsRequestsAndBroadcasts)
{
	std::unique_ptr<ChildProcess> server = StartServer();
	ASSERT_NE(server, nullptr);
	TestClient client;
	client.Start();
	BMessenger messenger = ServerMessenger(server->Pid());
	ASSERT_EQ(client.Register(messenger), B_OK);
	ASSERT_EQ(client.Register(messenger), B_OK);

	BMessage question(kMsgQuestion);
	question.AddInt32("job_id", 3);
	question.AddString("title", "Backup");
	question.AddString("text", "Insert the next tape.");
	question.AddString("label0", "Ok");
	question.AddInt32("type", 1);
	question.AddMessenger("reply", messenger);
	ASSERT_EQ(messenger.SendMessage(&question), B_OK);
	Withdraw(messenger, "one");
	Withdraw(messenger, "two");

	MessageInbox& inbox = client.Inbox();
	std::optional<BMessage> asked = inbox.Await(kMsgQuestion, kPatience);
	ASSERT_TRUE(asked.has_value());
	EXPECT_STREQ(asked->GetString("text", ""), "Insert the next tape.");
	EXPECT_EQ(asked->GetInt32("type", 0), 1);
	BMessenger reply;
	ASSERT_EQ(asked->FindMessenger("reply", &reply), B_OK);
	EXPECT_EQ(reply, messenger);
	ASSERT_TRUE(inbox.Await(kMsgWithdrawQuestion, kPatience, Titled("two")).has_value());
	EXPECT_EQ(inbox.Count(kMsgQuestion), 1);
	EXPECT_EQ(inbox.Count(kMsgWithdrawQuestion, Titled("one")), 1);

	// The job index answers a request of another process.
	BMessage list = Request(messenger, kMsgJobList);
	EXPECT_EQ(list.what, 0u);
	EXPECT_TRUE(list.IsReply());
	EXPECT_EQ(Request(messenger, 'zzzz', 4711).what, uint32(B_MESSAGE_NOT_UNDERSTOOD));
	EXPECT_EQ(Request(messenger, kMsgJobList).what, 0u);

	ASSERT_EQ(client.Unregister(messenger), B_OK);
	Withdraw(messenger, "three");
	ASSERT_EQ(client.Register(messenger), B_OK);
	Withdraw(messenger, "four");
	ASSERT_TRUE(inbox.Await(kMsgWithdrawQuestion, kPatience, Titled("four")).has_value());
	EXPECT_EQ(inbox.Count(kMsgWithdrawQuestion, Titled("three")), 0);

	std::string registered = "Client " + std::to_string(current_team()) + " registered.";
	EXPECT_EQ(CountOf(fTree.ReadLog(), registered), 2);
	EXPECT_FALSE(server->HasEnded());
}

// A client whose process ends is dropped at the next pulse; the server stays
// for the clients that are left.
TEST_F(ServerProcessTest, EndedClientIsDroppedAtNextPulse)
{
	std::unique_ptr<ChildProcess> server = StartServer();
	ASSERT_NE(server, nullptr);
	TestClient client;
	client.Start();
	BMessenger messenger = ServerMessenger(server->Pid());
	ASSERT_EQ(client.Register(messenger), B_OK);

	ChildProcess other;
	ASSERT_EQ(other.Start(MORVANE_SERVER_TEST_CLIENT, {}, fTree.Environment(),
		ChildProcess::Output::Pipe), B_OK);
	std::string line;
	ASSERT_TRUE(other.ReadLine(&line, kStartPatience));
	ASSERT_EQ(line, "ready " + std::to_string(other.Pid()));
	std::string otherClient = "Client " + std::to_string(other.Pid());
	EXPECT_NE(fTree.ReadLog().find(otherClient + " registered."), std::string::npos);

	other.Signal(SIGKILL);
	ASSERT_TRUE(other.AwaitExit(kPatience));
	EXPECT_TRUE(fTree.AwaitLogLine(otherClient + " has ended; it is dropped.", kPulsePatience))
		<< fTree.ReadLog();

	EXPECT_FALSE(server->HasEnded());
	EXPECT_EQ(Request(messenger, kMsgJobList).what, 0u);
	Withdraw(messenger, "still here");
	EXPECT_TRUE(client.Inbox().Await(kMsgWithdrawQuestion, kPatience, Titled("still here"))
		.has_value());
	EXPECT_EQ(fTree.ReadLog().find("Client " + std::to_string(current_team()) + " has ended"),
		std::string::npos);
}

// A peer that sends a frame the server cannot read is disconnected; the
// server goes on as before for everyone else.
TEST_F(ServerProcessTest, BrokenFrameDisconnectsOnlyThatPeer)
{
	std::unique_ptr<ChildProcess> server = StartServer();
	ASSERT_NE(server, nullptr);
	TestClient client;
	client.Start();
	BMessenger messenger = ServerMessenger(server->Pid());
	ASSERT_EQ(client.Register(messenger), B_OK);

	int peer = ConnectRaw(server->Pid());
	ASSERT_GE(peer, 0) << strerror(errno);
	const char garbage[] = "XXXX\0\0\0\0\x10\0\0\0not a frame at all";
	ASSERT_EQ(write(peer, garbage, sizeof(garbage)), ssize_t(sizeof(garbage)));

	// The server closes its end: the peer reads the end of the stream.
	pollfd entry = {peer, POLLIN, 0};
	ASSERT_EQ(poll(&entry, 1, int(kPatience / 1000)), 1);
	char byte;
	ssize_t got = read(peer, &byte, 1);
	EXPECT_TRUE(got == 0 || (got < 0 && errno == ECONNRESET));
	close(peer);

	EXPECT_FALSE(server->HasEnded());
	EXPECT_EQ(Request(messenger, kMsgJobList).what, 0u);
	Withdraw(messenger, "after the broken frame");
	ASSERT_TRUE(client.Inbox().Await(kMsgWithdrawQuestion, kPatience,
		Titled("after the broken frame")).has_value());
	EXPECT_EQ(client.Inbox().Count(kMsgWithdrawQuestion), 1);
}

// With --daemon the server stays up without clients until it is told to
// stop, and then stops in order.
TEST_F(ServerProcessTest, DaemonStaysUpWithoutClients)
{
	std::unique_ptr<ChildProcess> server = StartServer({"--daemon"});
	ASSERT_NE(server, nullptr);
	ASSERT_TRUE(fTree.AwaitLogLine("the server stays up as a daemon", kPulsePatience))
		<< fTree.ReadLog();
	EXPECT_FALSE(server->HasEnded());
	EXPECT_EQ(Request(ServerMessenger(server->Pid()), kMsgJobList).what, 0u);

	EXPECT_EQ(server->Terminate(), 0);
	std::string log = fTree.ReadLog();
	EXPECT_NE(log.find("as a daemon)"), std::string::npos) << log;
	EXPECT_NE(log.find("Received signal 15; stopping."), std::string::npos) << log;
	EXPECT_NE(log.find("The server stopped."), std::string::npos) << log;
}

// Arguments the server does not know end it with a usage error.
TEST_F(ServerProcessTest, UnknownArgumentIsRefused)
{
	std::unique_ptr<ChildProcess> server = fTree.StartServer({"--bogus"});
	ASSERT_NE(server, nullptr);
	int exitCode = -1;
	ASSERT_TRUE(server->AwaitExit(kAtOnce, &exitCode));
	EXPECT_EQ(exitCode, 2);
	EXPECT_TRUE(RunningServers().empty());
}

}	// namespace
