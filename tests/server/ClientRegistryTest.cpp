// The client registry: registration, the "client_id" bookkeeping of the job
// records, broadcasts to the clients, and the pulse that drops ended clients
// and quits the server when none is left.

#include "InProcessServer.h"

#include <csignal>
#include <functional>

#include "AwaitCondition.h"
#include "ChildProcess.h"
#include "MVRosterClientLink.h"
#include "MessageRecorder.h"

namespace {

class ClientRegistryTest : public InProcessServer {
protected:
	static BMessage Client(team_id team)
	{
		BMessage message;
		message.AddInt32("client_id", team);
		return message;
	}

	static std::vector<int32> ClientIds(const BMessage* record)
	{
		std::vector<int32> ids;
		int32 id;
		for (int32 i = 0; record != nullptr && record->FindInt32("client_id", i, &id) == B_OK; i++)
			ids.push_back(id);
		return ids;
	}

	static BMessage Question(const char* title)
	{
		BMessage message;
		message.AddInt32("job_id", 5);
		message.AddString("title", title);
		return message;
	}

	// Everything the server sent to the recorder before now has arrived
	// once its outboxes are empty and a marker posted then has.
	void Drain(MessageRecorder& recorder)
	{
		ASSERT_TRUE(fServer->Clients().Flush(kPatience));
		BMessage marker('mark');
		ASSERT_EQ(recorder.Messenger().SendMessage(&marker), B_OK);
		ASSERT_TRUE(recorder.Inbox().Await('mark', kPatience).has_value());
	}

	static int32 CountTitled(MessageRecorder& recorder, uint32 what, const char* title)
	{
		return recorder.Inbox().Count(what, [title](const BMessage& message) {
			return strcmp(message.GetString("title", ""), title) == 0;
		});
	}
};

}	// namespace

// A team registers once however often it says so, and every job record names
// every registered client once.
TEST_F(ClientRegistryTest, RegistrationIsOncePerTeamAndReachesEveryJob)
{
	CreateServer();
	BMessage named('MVJA');
	named.AddInt32("client_id", 7);
	int32 first = QueueJob(named);
	int32 second = QueueJob(BMessage('MVJA'));

	Handle(kMsgAddClient, Client(7));
	Handle(kMsgAddClient, Client(7));
	Handle(kMsgAddClient, Client(8));

	EXPECT_EQ(fServer->Clients().Clients(), (std::vector<team_id>{7, 8}));
	EXPECT_EQ(ClientIds(fServer->Queue().FindJob(first)), (std::vector<int32>{7, 8}));
	EXPECT_EQ(ClientIds(fServer->Queue().FindJob(second)), (std::vector<int32>{7, 8}));
}

// Unregistering removes the team from the list and every entry of it from
// every job record, leaving the other clients in place.
TEST_F(ClientRegistryTest, UnregisteringClearsTheTeamEverywhere)
{
	CreateServer();
	Handle(kMsgAddClient, Client(5));
	Handle(kMsgAddClient, Client(6));
	BMessage record('MVJA');
	for (int32 id : {5, 6, 5})
		record.AddInt32("client_id", id);
	int32 jobId = QueueJob(record);
	// The record came with a client twice; it lists each once.
	EXPECT_EQ(ClientIds(fServer->Queue().FindJob(jobId)), (std::vector<int32>{5, 6}));

	Handle(kMsgRemoveClient, Client(5));

	EXPECT_EQ(fServer->Clients().Clients(), (std::vector<team_id>{6}));
	EXPECT_EQ(ClientIds(fServer->Queue().FindJob(jobId)), (std::vector<int32>{6}));
	EXPECT_NE(ReadLog().find("Client 5 unregistered."), std::string::npos);
}

// A registration without a usable team id changes nothing.
TEST_F(ClientRegistryTest, RegistrationsWithoutTeamAreIgnored)
{
	CreateServer();
	Handle(kMsgAddClient);
	Handle(kMsgAddClient, Client(0));
	Handle(kMsgAddClient, Client(-4));
	BMessage wrongType;
	wrongType.AddString("client_id", "12");
	Handle(kMsgAddClient, wrongType);

	EXPECT_TRUE(fServer->Clients().IsEmpty());
	EXPECT_NE(ReadLog().find("without a valid \"client_id\""), std::string::npos);
}

// Questions of workers and their withdrawal reach every registered client
// once and unchanged; a client that cannot be reached is skipped, and an
// unregistered one gets nothing.
TEST_F(ClientRegistryTest, BroadcastsReachEveryClientOnce)
{
	MessageRecorder first("first client");
	MessageRecorder second("second client");
	fLink.Add(11, first.Messenger());
	fLink.Add(12, second.Messenger());
	CreateServer();
	Handle(kMsgAddClient, Client(11));
	Handle(kMsgAddClient, Client(13));   // known to nobody: no messenger
	Handle(kMsgAddClient, Client(12));
	Handle(kMsgAddClient, Client(11));

	BMessage question = Question("Insert media");
	question.AddMessenger("reply", first.Messenger());
	question.AddString("label0", "Ok");
	question.AddInt32("type", 2);
	Handle(kMsgQuestion, question);
	Handle(kMsgWithdrawQuestion, Question("Insert media"));

	for (MessageRecorder* client : {&first, &second}) {
		std::optional<BMessage> asked = client->Inbox().Await(kMsgQuestion, kPatience);
		ASSERT_TRUE(asked.has_value());
		EXPECT_EQ(asked->GetInt32("job_id", 0), 5);
		EXPECT_STREQ(asked->GetString("label0", ""), "Ok");
		EXPECT_EQ(asked->GetInt32("type", 0), 2);
		BMessenger reply;
		EXPECT_EQ(asked->FindMessenger("reply", &reply), B_OK);
		EXPECT_EQ(reply, first.Messenger());
		ASSERT_TRUE(client->Inbox().Await(kMsgWithdrawQuestion, kPatience).has_value());
		Drain(*client);
		EXPECT_EQ(client->Inbox().Count(kMsgQuestion), 1);
		EXPECT_EQ(client->Inbox().Count(kMsgWithdrawQuestion), 1);
	}

	Handle(kMsgRemoveClient, Client(11));
	Handle(kMsgWithdrawQuestion, Question("After leaving"));
	ASSERT_TRUE(second.Inbox().Await(kMsgWithdrawQuestion, kPatience,
		[](const BMessage& message) {
			return strcmp(message.GetString("title", ""), "After leaving") == 0;
		}).has_value());
	Drain(first);
	EXPECT_EQ(CountTitled(first, kMsgWithdrawQuestion, "After leaving"), 0);
}

// The pulse drops every client whose team has ended, with its job entries,
// and quits the server, report server first, when none is left.
TEST_F(ClientRegistryTest, PulseDropsEndedClientsAndQuitsWhenNoneIsLeft)
{
	fLink.Add(21, BMessenger());
	fLink.Add(22, BMessenger());
	fLink.Add(23, BMessenger());
	CreateServer();
	// Held, so that it does not keep the server up.
	int32 jobId = QueueJob(BMessage('MVJA'));
	ASSERT_TRUE(fServer->Queue().JobPause(jobId));
	for (team_id team : {21, 22, 23})
		Handle(kMsgAddClient, Client(team));

	fLink.End(21);
	fLink.End(22);
	fServer->Pulse();
	EXPECT_EQ(fServer->Clients().Clients(), (std::vector<team_id>{23}));
	EXPECT_EQ(ClientIds(fServer->Queue().FindJob(jobId)), (std::vector<int32>{23}));
	EXPECT_TRUE(fServer->ReportServer().IsValid());
	EXPECT_NE(ReadLog().find("Client 21 has ended; it is dropped."), std::string::npos);
	EXPECT_NE(ReadLog().find("Client 22 has ended; it is dropped."), std::string::npos);

	// A client that missed an answer while it waited for the server is
	// kept once it is heard from; one that stays silent is dropped.
	fServer->Clients().MarkStalled(23);
	fServer->Clients().HeardFrom(23);
	fServer->Pulse();
	EXPECT_EQ(fServer->Clients().Clients(), (std::vector<team_id>{23}));
	fServer->Clients().MarkStalled(23);
	fServer->Pulse();
	EXPECT_TRUE(fServer->Clients().IsEmpty());
	EXPECT_NE(ReadLog().find("Client 23 does not take its messages"), std::string::npos);
	Handle(kMsgAddClient, Client(23));

	fLink.End(23);
	fServer->Pulse();
	EXPECT_TRUE(fServer->Clients().IsEmpty());
	EXPECT_NE(ReadLog().find("No client is registered; the server quits."), std::string::npos);
	EXPECT_FALSE(fServer->ReportServer().IsValid());
	EXPECT_EQ(find_thread("MVReportServer"), B_NAME_NOT_FOUND);
}

// Without a client the server stays up while a job has a worker, running or
// paused in its work, or waits for its start time; a held job does not keep
// it, and it quits at the first pulse once none of that holds.
TEST_F(ClientRegistryTest, JobsKeepTheServerUpWithoutClients)
{
	struct Case {
		const char* what;
		std::function<void(int32 jobId)> prepare;
		bool staysUp;
		const char* logged;
	};
	const Case cases[] = {
		{"a running job", [this](int32 jobId) { fServer->Queue().JobStart(jobId); }, true,
			"stays up while its jobs run"},
		{"a job paused in its work", [this](int32 jobId) {
			fServer->Queue().JobStart(jobId);
			ASSERT_TRUE(fServer->Queue().JobPause(jobId));
		}, true, "stays up while its jobs run"},
		{"a waiting job", [](int32) {}, true, "for the jobs that wait for their time"},
		{"a held job", [this](int32 jobId) { ASSERT_TRUE(fServer->Queue().JobPause(jobId)); },
			false, "the server quits"},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.what);
		CreateServer();
		BMessage record('MVJA');
		record.AddInt32("job_type", kJobFullBackup);
		int32 jobId = QueueJob(record);
		test.prepare(jobId);
		fServer->Pulse();
		EXPECT_EQ(fServer->ReportServer().IsValid(), test.staysUp);
		EXPECT_NE(ReadLog().find(test.logged), std::string::npos) << ReadLog();
		if (!test.staysUp)
			continue;
		// Once the job has gone, the next pulse quits.
		QuitWorkers();
		EXPECT_TRUE(fServer->Queue().JobRem(jobId));
		fServer->Pulse();
		EXPECT_FALSE(fServer->ReportServer().IsValid());
		fServer.reset();
	}
}

// The real link sees a client's process stopped and continued.
TEST(RosterClientLinkTest, SeesStoppedProcesses)
{
	ChildProcess child;
	ASSERT_EQ(child.Start("/bin/sleep", {"30"}), B_OK);
	MVRosterClientLink link;
	EXPECT_FALSE(link.IsStopped(child.Pid()));
	child.Signal(SIGSTOP);
	EXPECT_TRUE(AwaitCondition([&] { return link.IsStopped(child.Pid()); }, 10000000));
	child.Signal(SIGCONT);
	EXPECT_TRUE(AwaitCondition([&] { return !link.IsStopped(child.Pid()); }, 10000000));
	EXPECT_FALSE(link.IsStopped(0));
}
