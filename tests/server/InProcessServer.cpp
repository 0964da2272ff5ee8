#include "InProcessServer.h"

#include <MVLocale.h>

#include "AwaitCondition.h"

void InProcessServer::SetUp()
{
	fVolumes = std::make_unique<ScopedEnv>("MORVANE_VOLUMES", "Test=" + fFolder.Path());
	ASSERT_EQ(VolumeTable::Reload(), B_OK);
	fFolder.MakeFolder("Backup_Server");
	fLog = std::make_unique<MVServerLog>(kProgramFolder, MVServerLog::kDefaultMaxSize, nullptr);
}

void InProcessServer::TearDown()
{
	StopServer();
	QuitWorkers();
	fServer.reset();
	delete MVLocale::GetInstance();
	fLog.reset();
	fVolumes.reset();
	(void)VolumeTable::Reload();
}

MVServerSettings InProcessServer::Settings()
{
	MVServerSettings settings;
	settings.programFolder = kProgramFolder;
	settings.pulseRate = 0;
	settings.clientLink = &fLink;
	settings.log = fLog.get();
	settings.workerFactory = [this](int32, const BMessage&) -> BLooper* {
		return new RecordingWorker(&fWorkerInbox);
	};
	return settings;
}

void InProcessServer::CreateServer(bool daemon)
{
	MVServerSettings settings = Settings();
	settings.daemon = daemon;
	CreateServer(settings);
}

void InProcessServer::CreateServer(const MVServerSettings& settings)
{
	fServer = std::make_unique<MVServer>(settings);
}

void InProcessServer::RunServer()
{
	fRunner = std::thread([this] { fServer->Run(); });
}

void InProcessServer::StopServer()
{
	if (!fRunner.joinable())
		return;
	ASSERT_EQ(BMessenger(fServer.get()).SendMessage(B_QUIT_REQUESTED), B_OK);
	fRunner.join();
}

void InProcessServer::Handle(uint32 what, const BMessage& fields)
{
	BMessage message(fields);
	message.what = what;
	fServer->MessageReceived(&message);
}

BMessage InProcessServer::Request(const BMessage& request)
{
	BMessage reply;
	EXPECT_EQ(BMessenger(fServer.get()).SendMessage(&request, &reply), B_OK);
	return reply;
}

std::string InProcessServer::ReadLog() const
{
	return ReadWholeFile(NativePath("server.log")).value_or("");
}

int32 InProcessServer::QueueJob(const BMessage& record, int32 start)
{
	BMessage request(record);
	// A job of no type is refused; a test that does not care backs up.
	if (!request.HasData("job_type", B_INT32_TYPE))
		request.AddInt32("job_type", kJobFullBackup);
	BMessage schedule;
	schedule.AddTime("TIME", start);
	request.RemoveName("scheduler");
	request.AddMessage("scheduler", &schedule);
	int32 jobId = fServer->Queue().JobAdd(&request);
	EXPECT_NE(jobId, 0);
	return jobId;
}

int32 InProcessServer::StartJob(const BMessage& record)
{
	int32 jobId = QueueJob(record);
	fServer->Queue().JobStart(jobId);
	EXPECT_TRUE(WorkerOf(jobId).IsValid());
	return jobId;
}

BMessenger InProcessServer::WorkerOf(int32 jobId)
{
	const QueuedJob* job = fServer->Queue().Job(jobId);
	return job != nullptr ? job->worker : BMessenger();
}

void InProcessServer::QuitWorkers()
{
	if (fServer == nullptr)
		return;
	for (const QueuedJob& job : fServer->Queue().Jobs()) {
		BMessenger worker = job.worker;
		if (!worker.IsValid())
			continue;
		// A worker that has quit already is what is waited for.
		(void)worker.SendMessage(B_QUIT_REQUESTED);
		EXPECT_TRUE(AwaitCondition([&] { return !worker.IsValid(); }, kPatience));
	}
}
