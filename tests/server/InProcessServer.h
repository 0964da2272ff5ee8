#pragma once

// A server inside the test process: its program folder is "Backup_Server" on
// a volume of its own, its clients are recorders reached through a fake
// client link, and its pulse is driven by hand. A test either calls the
// server's handlers directly on its own thread, or runs the server on a
// thread (RunServer) to send it requests that wait for replies.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include <storage/VolumeTable.h>

#include <app/Looper.h>

#include "MVClientLink.h"
#include "MessageInbox.h"
#include "MVServer.h"
#include "MVServerLog.h"
#include "RecordingHandler.h"
#include "ServerProtocol.h"
#include "TestFolder.h"

// Clients that the test makes up: a team id, the messenger that stands for
// it, and whether it still runs.
class FakeClientLink : public MVClientLink {
public:
	void Add(team_id team, BMessenger messenger)
	{
		std::lock_guard<std::mutex> guard(fLock);
		fTeams[team] = messenger;
		fRunning.insert(team);
	}

	void End(team_id team)
	{
		std::lock_guard<std::mutex> guard(fLock);
		fRunning.erase(team);
	}

	void Stop(team_id team)
	{
		std::lock_guard<std::mutex> guard(fLock);
		fStopped.insert(team);
	}

	BMessenger MessengerFor(team_id team) const override
	{
		std::lock_guard<std::mutex> guard(fLock);
		auto it = fTeams.find(team);
		return it != fTeams.end() ? it->second : BMessenger();
	}

	bool IsRunning(team_id team) const override
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fRunning.count(team) != 0;
	}

	bool IsStopped(team_id team) const override
	{
		std::lock_guard<std::mutex> guard(fLock);
		return fStopped.count(team) != 0;
	}

private:
	mutable std::mutex fLock;
	std::map<team_id, BMessenger> fTeams;
	std::set<team_id> fRunning;
	std::set<team_id> fStopped;
};

// A job's worker: keeps what the server sends it and quits when told to
// end its job.
class RecordingWorker : public BLooper {
public:
	explicit RecordingWorker(MessageInbox* inbox)
		:
		BLooper("recording worker", 10, 100),
		fInbox(inbox)
	{
	}

	void MessageReceived(BMessage* message) override
	{
		fInbox->Add(*message);
		// Its own running queue takes the message.
		if (message->what == kMsgJobDelete)
			(void)PostMessage(B_QUIT_REQUESTED);
	}

private:
	MessageInbox* fInbox;
};

class InProcessServer : public testing::Test {
protected:
	static constexpr const char* kProgramFolder = "/Test/Backup_Server";
	static constexpr bigtime_t kPatience = 10000000;

	void SetUp() override;
	void TearDown() override;

	// A start time no pulse of a test reaches.
	static constexpr int32 kFarFuture = 2000000000;

	// The settings of a server on this test's volume, without a pulse; its
	// jobs' workers are RecordingWorkers that write to fWorkerInbox.
	MVServerSettings Settings();
	void CreateServer(bool daemon = false);
	void CreateServer(const MVServerSettings& settings);
	// Runs the server's application thread; StopServer() ends it.
	void RunServer();
	void StopServer();

	// Hands the message to the server's handler on the calling thread.
	void Handle(uint32 what, const BMessage& fields = BMessage());
	// Sends the running server a request and waits for the reply.
	BMessage Request(const BMessage& request);

	// Queues a job of the record through the queue's own request, to start
	// at start; its id.
	int32 QueueJob(const BMessage& record, int32 start = kFarFuture);
	// Queues a job and starts it at once; its worker is a RecordingWorker.
	int32 StartJob(const BMessage& record);
	BMessenger WorkerOf(int32 jobId);
	// Quits the workers of the jobs still queued, and waits for them.
	void QuitWorkers();

	std::string NativePath(const std::string& name) const
		{ return fFolder / ("Backup_Server/" + name); }
	std::string ReadLog() const;

	TestFolder fFolder;
	std::unique_ptr<ScopedEnv> fVolumes;
	FakeClientLink fLink;
	std::unique_ptr<MVServerLog> fLog;
	RecordingHandler fReportHandler{"report recorder"};
	MessageInbox fWorkerInbox;
	std::unique_ptr<MVServer> fServer;
	std::thread fRunner;
};
