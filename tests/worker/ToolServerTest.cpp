// The job worker base: scrambling, backup headers, progress with the pause
// accounting, version checks, questions and answers, and a small engine that
// runs a chain of steps through pause, continue and abort.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>

#include <app/Message.h>

#include "ArchiveFormat.h"
#include "AwaitCondition.h"
#include "JobTexts.h"
#include "MVDefaultTexts.h"
#include "MVLocale.h"
#include "MVReportLine.h"
#include "MVToolServer.h"
#include "MVVolumeOrg.h"
#include "MessageRecorder.h"
#include "ReportLineType.h"
#include "ServerProtocol.h"
#include "TestFolder.h"

namespace {

constexpr bigtime_t kPatience = 10000000;
constexpr uint32 kStep = 'STEP';
constexpr int32 kStepsInAll = 3;
constexpr int32 kAborted = 7;

// A worker whose clock the test sets; it is never run, so the test calls it
// on its own thread and quits it at the end. Its job has no steps.
class ClockWorker : public MVToolServer {
public:
	ClockWorker(const AddOnLoader& loader = AddOnLoader())
		:
		MVToolServer("ClockWorker", 10, 100, loader)
	{
	}

	time_t CurrentTime() const override { return fNow; }
	void Start(int32 jobID, int32 reportID)
	{
		BMessage start(kMsgJobStart);
		start.AddInt32("job_id", jobID);
		start.AddInt32("report_id", reportID);
		MessageReceived(&start);
	}
	void Subscribe(const BMessenger& user)
	{
		BMessage subscribe(kMsgSubscribe);
		subscribe.AddMessenger("user", user);
		MessageReceived(&subscribe);
	}

	time_t fNow = time(nullptr);

protected:
	void StartJob(const BMessage*) override {}
	void RunStep(uint32) override {}
	void EndJob() override {}
};

// True once the worker has quit.
bool AwaitGone(const BMessenger& worker)
{
	return AwaitCondition([&worker] { return !worker.IsValid(); }, kPatience);
}

struct QuitLooper {
	void operator()(BLooper* looper) const { looper->Quit(); }
};

// An engine in small: each of its steps writes a line naming the step; the
// one given asks the user to change the medium and is run again once the
// job continues.
class ChainWorker : public MVToolServer {
public:
	explicit ChainWorker(int32 steps = kStepsInAll, int32 askAt = 2)
		:
		MVToolServer("ChainWorker", 10, 100),
		fStepsInAll(steps),
		fAskAt(askAt)
	{
		SetAbortDelay(0);
	}

protected:
	void StartJob(const BMessage*) override { NextStep(kStep); }

	void RunStep(uint32 step) override
	{
		if (step != kStep)
			return;
		fSteps++;
		LogInsert(kLineFile, kTextSingle, { "step " + std::to_string(fSteps) });
		if (fSteps == fAskAt && !fAsked) {
			fAsked = true;
			fSteps--;
			AskForMedium(kStep, kTextSingle, { "Insert the next medium" }, 2);
			return;
		}
		if (fSteps < fStepsInAll) {
			NextStep(kStep);
			return;
		}
		_Finish();
	}

	void EndJob() override { _Finish(); }

private:
	void _Finish()
	{
		BMessage finished = EndMessage();
		finished.AddInt32("status", IsAborted() ? kAborted : 0);
		finished.AddInt32("steps", fSteps);
		FinishJob(&finished);
	}

	int32 fStepsInAll;
	int32 fAskAt;
	int32 fSteps = 0;
	bool fAsked = false;
};

class ToolServerTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		InstallDefaultTexts(MVLocale::GetInstance());
	}

	void TearDown() override
	{
		delete MVLocale::GetInstance();
	}

	static MVReportLine LineOf(const BMessage& message)
	{
		const void* data = nullptr;
		ssize_t size = 0;
		MVReportLine line;
		EXPECT_EQ(message.FindData("reportline", MVReportLine::kTypeCode, &data, &size), B_OK);
		EXPECT_EQ(line.Unflatten(data, size_t(size)), B_OK);
		return line;
	}

	MessageRecorder fServer{"server recorder"};
	MessageRecorder fViewer{"viewer recorder"};
};

std::string Header(uint32 magic, uint16 length, uint16 version, size_t size)
{
	std::string header(size, '\x5a');
	memcpy(header.data(), &magic, 4);
	memcpy(header.data() + 4, &length, 2);
	memcpy(header.data() + 6, &version, 2);
	return header;
}

// A destination that reads from a string.
class StringVolume : public MVVolume {
public:
	explicit StringVolume(std::string data) : fData(std::move(data)) {}
	int64 Read(void* buffer, int64 length) override
	{
		size_t count = std::min(size_t(length), fData.size() - fPosition);
		memcpy(buffer, fData.data() + fPosition, count);
		fPosition += count;
		return int64(count);
	}

private:
	std::string fData;
	size_t fPosition = 0;
};

} // namespace

// Scrambling with the job's password: keys that mean "no password" leave the
// data alone, the key repeats, a longer key uses its first bytes, and the
// output buffer form leaves the input as it was.
TEST(CryptTest, KeysAndRepetition)
{
	const std::string plain = "backup data";
	for (const char* key : { "", " secret", "\tsecret", "\x80secret" }) {
		std::string data = plain;
		MVToolServer::Encrypt(data.data(), data.size(), key);
		EXPECT_EQ(data, plain) << int(key[0]);
	}
	std::string data = plain;
	MVToolServer::Encrypt(data.data(), data.size(), nullptr);
	EXPECT_EQ(data, plain);

	std::string repeated = "keykeykeyke";
	MVToolServer::Encrypt(repeated.data(), repeated.size(), "key");
	EXPECT_EQ(repeated, std::string(11, '\0'));

	std::string shortData = "ab";
	MVToolServer::Encrypt(shortData.data(), shortData.size(), "xyzLONGERKEY");
	EXPECT_EQ(shortData, std::string({ char('a' ^ 'x'), char('b' ^ 'y') }));

	std::string output(plain.size(), '\0');
	std::string input = plain;
	MVToolServer::Encrypt(input.data(), input.size(), "pw!", output.data());
	EXPECT_EQ(input, plain);
	EXPECT_NE(output, plain);
	MVToolServer::Decrypt(output.data(), output.size(), "pw!");
	EXPECT_EQ(output, plain);
}

// The worker's form answers the bytes read, 0 on any failure, from a
// destination or from the wrapper.
TEST_F(ToolServerTest, ReadBackupHeaderDataCountsBytes)
{
	std::unique_ptr<ClockWorker, QuitLooper> worker(new ClockWorker());
	uint8 header[kBackupHeaderSize];
	StringVolume volume(Header(kBackupHeaderMagic, 300, 0x83, 400));
	EXPECT_EQ(worker->ReadBackupHeaderData(&volume, header), 220);
	StringVolume foreign(Header(0xFE120002, 100, 0x83, 400));
	EXPECT_EQ(worker->ReadBackupHeaderData(&foreign, header), 0);
	MVVolumeOrg empty;
	EXPECT_EQ(worker->ReadBackupHeaderData(&empty, header), 0);
	EXPECT_EQ(worker->ReadBackupHeaderData(static_cast<MVVolume*>(nullptr), header), 0);
}

// Progress: no speed in the first second, paused time is no working time,
// and the pause bookkeeping ignores repeated calls.
TEST_F(ToolServerTest, PostInfoAndPauseAccounting)
{
	std::unique_ptr<ClockWorker, QuitLooper> worker(new ClockWorker());
	worker->Start(11, 22);
	worker->Subscribe(fViewer.Messenger());
	time_t start = worker->GetStartTime();
	worker->fNow = start;

	worker->PostInfo(nullptr, 1, 10, 5000, 10000);
	std::optional<BMessage> first = fViewer.Inbox().Await(kMsgJobProgress, kPatience);
	ASSERT_TRUE(first.has_value());
	EXPECT_EQ(first->GetInt32("linetype", 0), kLineProgress);
	EXPECT_STREQ(first->GetString("report", ""), "-");
	EXPECT_EQ(first->GetInt32("elapsed", -1), 0);
	float speed = -1;
	ASSERT_EQ(first->FindFloat("speed", &speed), B_OK);
	EXPECT_EQ(speed, 0.0f);
	EXPECT_EQ(first->GetInt32("remain", 0), MVToolServer::kRemainUnknown);
	EXPECT_EQ(first->GetInt32("job_id", 0), 11);
	EXPECT_EQ(first->GetInt32("report_id", 0), 22);

	// Paused from second 2 to 6; a second pause call keeps the first start,
	// a second continue call changes nothing.
	worker->fNow = start + 2;
	EXPECT_FALSE(worker->SetPause(true));
	worker->fNow = start + 4;
	EXPECT_TRUE(worker->SetPause(true));
	EXPECT_TRUE(worker->IsPause());
	EXPECT_EQ(worker->GetPause(), 2);
	worker->fNow = start + 6;
	EXPECT_TRUE(worker->SetPause(false));
	EXPECT_FALSE(worker->SetPause(false));
	worker->fNow = start + 9;
	EXPECT_EQ(worker->GetPause(), 4);

	fViewer.Inbox().Clear();
	worker->fNow = start + 10;
	worker->PostInfo("file", 2, 10, 6000, 10000);
	std::optional<BMessage> second = fViewer.Inbox().Await(kMsgJobProgress, kPatience);
	ASSERT_TRUE(second.has_value());
	EXPECT_EQ(second->GetInt32("elapsed", -1), 10);
	ASSERT_EQ(second->FindFloat("speed", &speed), B_OK);
	EXPECT_FLOAT_EQ(speed, 1000.0f);
	EXPECT_EQ(second->GetInt32("remain", -1), 4);
	EXPECT_STREQ(second->GetString("report", ""), "file");
}

// A backup of a newer program version is refused with a line that shows the
// version as the user knows it.
TEST_F(ToolServerTest, VersionTestRefusesNewerBackups)
{
	std::unique_ptr<ClockWorker, QuitLooper> worker(new ClockWorker());
	worker->Start(3, 4);
	worker->Subscribe(fViewer.Messenger());

	BMessage current;
	current.AddInt16("MV_PRGVERSION", 0x100);
	EXPECT_TRUE(worker->VersionTest(&current));
	EXPECT_EQ(worker->Version(), 0x100);

	BMessage newer;
	newer.AddInt16("MV_PRGVERSION", 0x101);
	newer.AddString("MV_LOGTITLE", "Daily");
	EXPECT_FALSE(worker->VersionTest(&newer));
	EXPECT_EQ(worker->Version(), 0x101);
	std::optional<BMessage> line = fViewer.Inbox().Await(kMsgJobProgress, kPatience);
	ASSERT_TRUE(line.has_value());
	EXPECT_EQ(line->GetInt32("linetype", 0), kLineError);
	EXPECT_EQ(line->GetInt32("text_id", 0), kTextNewerVersion);
	EXPECT_EQ(line->GetInt32("report_id", 0), 4);
	EXPECT_EQ(LineOf(*line).Render(56),
		"ERROR: to read the data of backup 'Daily' version 1.01 of Morvane Backup is required!");
	EXPECT_EQ(fViewer.Inbox().Count(kMsgJobProgress), 1) << "the current version wrote a line";

	// The top bit set is a newer version still.
	BMessage newest;
	newest.AddInt16("MV_PRGVERSION", int16(0x8001));
	EXPECT_FALSE(worker->VersionTest(&newest));
}

// Answers to a question: each button becomes its server request, and an
// answer without "which" or before the job started is ignored.
TEST_F(ToolServerTest, AnswersBecomeServerRequests)
{
	std::unique_ptr<ClockWorker, QuitLooper> worker(new ClockWorker());
	worker->SetServer(fServer.Messenger());

	BMessage answer(MVToolServer::kMsgRequestAnswer);
	answer.AddInt32("which", 0);
	worker->MessageReceived(&answer);
	worker->Start(9, 1);
	BMessage noWhich(MVToolServer::kMsgRequestAnswer);
	worker->MessageReceived(&noWhich);
	for (int32 which : { 3, 0, 1, 2 }) {
		BMessage choice(MVToolServer::kMsgRequestAnswer);
		choice.AddInt32("which", which);
		worker->MessageReceived(&choice);
	}
	worker->AbortRequest("Change Media");

	ASSERT_TRUE(fServer.Inbox().Await(kMsgWithdrawQuestion, kPatience).has_value());
	std::vector<BMessage> sent = fServer.Inbox().Messages();
	ASSERT_EQ(sent.size(), 4u);
	EXPECT_EQ(sent[0].what, kMsgJobContinue);
	EXPECT_EQ(sent[0].GetInt32("job_id", 0), 9);
	EXPECT_EQ(sent[1].what, kMsgJobDelete);
	EXPECT_EQ(sent[1].GetInt32("flag", 0), 1);
	EXPECT_EQ(sent[2].what, kMsgJobDelete);
	EXPECT_FALSE(sent[2].HasData("flag", B_INT32_TYPE));
	EXPECT_STREQ(sent[3].GetString("title", ""), "Change Media");

	fServer.Inbox().Clear();
	BMessage reply(MVToolServer::kMsgRequestAnswer);
	worker->Request(reply, 10, 11, 12, 0, 14, 1);
	std::optional<BMessage> question = fServer.Inbox().Await(kMsgQuestion, kPatience);
	ASSERT_TRUE(question.has_value());
	EXPECT_EQ(question->GetInt32("title", 0), 10);
	EXPECT_EQ(question->GetInt32("label0", 0), 12);
	EXPECT_FALSE(question->HasData("label1", B_INT32_TYPE));
	EXPECT_EQ(question->GetInt32("label2", 0), 14);
	EXPECT_EQ(question->GetInt32("type", 0), 1);
	BMessage replyBack;
	ASSERT_EQ(question->FindMessage("reply", &replyBack), B_OK);
	EXPECT_EQ(replyBack.what, MVToolServer::kMsgRequestAnswer);
}

// Subscribers that are gone are dropped at the next send; the others keep
// receiving in order.
TEST_F(ToolServerTest, GoneSubscribersAreDropped)
{
	std::unique_ptr<ClockWorker, QuitLooper> worker(new ClockWorker());
	MessageRecorder gone("gone viewer");
	worker->Subscribe(gone.Messenger());
	worker->Subscribe(fViewer.Messenger());
	gone.Quit();
	worker->LogInsert(kLineInfo, kTextSingle, { "hello" });
	ASSERT_TRUE(fViewer.Inbox().Await(kMsgJobProgress, kPatience).has_value());
	EXPECT_EQ(worker->CountSubscribers(), 1);
}

// A whole job: started paused, it waits for continue; it asks for a medium,
// goes on after "Continue", and runs its steps to the end.
TEST_F(ToolServerTest, ChainRunsThroughPauseAndQuestion)
{
	ChainWorker* worker = new ChainWorker();
	worker->SetServer(fServer.Messenger());
	ASSERT_GE(worker->Run(), 0);
	BMessenger messenger(worker);

	BMessage subscribe(kMsgSubscribe);
	subscribe.AddMessenger("user", fViewer.Messenger());
	ASSERT_EQ(messenger.SendMessage(&subscribe), B_OK);
	ASSERT_EQ(messenger.SendMessage(kMsgJobPause), B_OK);
	BMessage start(kMsgJobStart);
	start.AddInt32("job_id", 5);
	start.AddInt32("report_id", 6);
	ASSERT_EQ(messenger.SendMessage(&start), B_OK);
	ASSERT_EQ(messenger.SendMessage(kMsgJobContinue), B_OK);

	std::optional<BMessage> question = fServer.Inbox().Await(kMsgQuestion, kPatience);
	ASSERT_TRUE(question.has_value());
	EXPECT_EQ(question->GetInt32("job_id", 0), 5);
	EXPECT_STREQ(question->GetString("label2", ""), "Delete Job");
	BMessage answer;
	ASSERT_EQ(question->FindMessage("reply", &answer), B_OK);
	answer.AddInt32("which", 0);
	ASSERT_EQ(messenger.SendMessage(&answer), B_OK);
	ASSERT_TRUE(fServer.Inbox().Await(kMsgJobContinue, kPatience).has_value());
	ASSERT_EQ(messenger.SendMessage(kMsgJobContinue), B_OK);

	std::optional<BMessage> finished = fViewer.Inbox().Await(kMsgJobFinished, kPatience);
	ASSERT_TRUE(finished.has_value());
	EXPECT_EQ(finished->GetInt32("status", -1), 0);
	EXPECT_EQ(finished->GetInt32("steps", 0), kStepsInAll);
	// Every step's line, the asking step's twice, and the question's line.
	EXPECT_EQ(fViewer.Inbox().Count(kMsgJobProgress), kStepsInAll + 2);
	EXPECT_TRUE(AwaitGone(messenger));
}

// Pause and continue, sent in any order and number while the steps run,
// never run a step twice or skip one: one step is pending, and at most one
// message asks for it to run.
TEST_F(ToolServerTest, PauseAndContinueNeverRunAStepTwice)
{
	constexpr int32 kSteps = 4000;
	ChainWorker* worker = new ChainWorker(kSteps, 0);
	ASSERT_GE(worker->Run(), 0);
	BMessenger messenger(worker);
	BMessage subscribe(kMsgSubscribe);
	subscribe.AddMessenger("user", fViewer.Messenger());
	ASSERT_EQ(messenger.SendMessage(&subscribe), B_OK);
	BMessage start(kMsgJobStart);
	start.AddInt32("job_id", 3);
	ASSERT_EQ(messenger.SendMessage(&start), B_OK);
	const uint32 controls[] = {kMsgJobPause, kMsgJobContinue, kMsgJobContinue, kMsgJobPause,
		kMsgJobPause, kMsgJobContinue};
	for (int32 round = 0; round < 300; round++) {
		for (uint32 control : controls)
			ASSERT_EQ(messenger.SendMessage(control), B_OK);
	}

	ASSERT_TRUE(fViewer.Inbox().Await(kMsgJobFinished, kPatience).has_value());
	std::vector<BMessage> received = fViewer.Inbox().Messages();
	int32 expected = 1;
	for (const BMessage& message : received) {
		if (message.what != kMsgJobProgress)
			continue;
		ASSERT_EQ(LineOf(message).Render(kTextSingle), "step " + std::to_string(expected));
		expected++;
	}
	EXPECT_EQ(expected, kSteps + 1);
	EXPECT_TRUE(AwaitGone(messenger));
}

// Abort while waiting for an answer ends the job at once, once.
TEST_F(ToolServerTest, AbortEndsAPausedJob)
{
	ChainWorker* worker = new ChainWorker();
	worker->SetServer(fServer.Messenger());
	ASSERT_GE(worker->Run(), 0);
	BMessenger messenger(worker);
	BMessage start(kMsgJobStart);
	start.AddInt32("job_id", 8);
	ASSERT_EQ(messenger.SendMessage(&start), B_OK);
	ASSERT_TRUE(fServer.Inbox().Await(kMsgQuestion, kPatience).has_value());
	// Both aborts are queued before the worker sees the first.
	ASSERT_TRUE(messenger.LockTarget());
	ASSERT_EQ(messenger.SendMessage(kMsgJobDelete), B_OK);
	ASSERT_EQ(messenger.SendMessage(kMsgJobDelete), B_OK);
	worker->Unlock();
	std::optional<BMessage> finished = fServer.Inbox().Await(kMsgJobFinished, kPatience);
	ASSERT_TRUE(finished.has_value());
	EXPECT_EQ(finished->GetInt32("status", 0), kAborted);
	EXPECT_EQ(finished->GetInt32("steps", 0), 1);
	EXPECT_TRUE(AwaitGone(messenger));
	EXPECT_EQ(fServer.Inbox().Count(kMsgJobFinished), 1);
}

// Add-ons load through the worker; a failed load yields null and keeps the
// add-on loaded before.
TEST_F(ToolServerTest, LoadsAndFreesAddOns)
{
	TestFolder folder;
	std::string compressors = folder.MakeFolder("server/add-ons/compressors");
	std::string built = std::string(MORVANE_DIST_DIR) + "/Backup_Server/add-ons/compressors/";
	ASSERT_EQ(symlink((built + "MVNone").c_str(), (compressors + "/MVNone").c_str()), 0);
	std::unique_ptr<ClockWorker, QuitLooper> worker(
		new ClockWorker(AddOnLoader(folder / "server")));

	BMessage settings;
	MVCruncher* cruncher = worker->LoadCruncherAddOn("MVNone", &settings);
	ASSERT_NE(cruncher, nullptr);
	EXPECT_EQ(worker->LoadCruncherAddOn("Missing", &settings), nullptr);
	EXPECT_EQ(worker->LoadCruncherAddOn(nullptr, &settings), nullptr);
	EXPECT_EQ(worker->LoadDestinationAddOn("MVNone", &settings), nullptr);
	// The first add-on is still loaded: its object still works.
	BMessage archive;
	EXPECT_EQ(cruncher->Archive(&archive), B_OK);
	delete cruncher;
	worker->FreeCruncherAddOn();
	worker->FreeDestinationAddOn();
}
