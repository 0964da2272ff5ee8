#include "MVToolServer.h"

#include <app/Application.h>
#include <kernel/OS.h>

#include "ArchiveCrypt.h"
#include "BackupHeader.h"
#include "JobTexts.h"
#include "MVLocale.h"
#include "MVReportLine.h"
#include "ReportLineType.h"
#include "MVTextFormat.h"
#include "MVVolumeOrg.h"
#include "ServerProtocol.h"
#include "VolumeArchive.h"

namespace {

constexpr uint16 kNewestReadableVersion = 0x100;

} // namespace

MVToolServer::MVToolServer(const char* name, int32 priority, int32 portCapacity,
	const AddOnLoader& loader)
	:
	BLooper(name, priority, portCapacity),
	fLocale(MVLocale::GetInstance()),
	fStartTime(time(nullptr)),
	fLoader(loader)
{
}

MVToolServer::~MVToolServer()
{
	FreeDestinationAddOn();
	FreeCruncherAddOn();
}

time_t MVToolServer::CurrentTime() const
{
	return time(nullptr);
}

// #pragma mark - job control

void MVToolServer::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kMsgJobStart:
			_Start(message);
			break;
		case kMsgSubscribe:
			_AddSubscribers(message);
			break;
		case kMsgJobPause:
			_Pause();
			break;
		case kMsgJobContinue:
			_Continue();
			break;
		case kMsgJobDelete:
			_Abort();
			break;
		case kMsgRequestAnswer:
			_HandleAnswer(message);
			break;
		case kMsgRunStep:
			fStepQueued = false;
			_RunSteps();
			break;
		default:
			BLooper::MessageReceived(message);
			break;
	}
}

void MVToolServer::_Start(const BMessage* job)
{
	// A job starts once; a second start would mix two jobs.
	if (fStarted || fEnding)
		return;
	fStarted = true;
	fJobID = job->GetInt32("job_id", 0);
	fReportID = job->GetInt32("report_id", 0);
	StartJob(job);
	_ScheduleStep();
}

void MVToolServer::_AddSubscribers(const BMessage* message)
{
	BMessenger user;
	for (int32 i = 0; message->FindMessenger("user", i, &user) == B_OK; i++)
		(void)fSubscribers.Add(user);
}

void MVToolServer::_Pause()
{
	// The pending step stays pending; the run in progress stops before it.
	SetPause(true);
}

void MVToolServer::_Continue()
{
	if (SetPause(false))
		_ScheduleStep();
}

void MVToolServer::_Abort()
{
	if (!fStarted || fEnding)
		return;
	fEnding = true;
	fAborted = true;
	fPendingStep = 0;
	DropQueuedMessages();
	fStepQueued = false;
	// Give a destination that is busy with the medium time to settle
	// before the engine closes it.
	if (fAbortDelay > 0)
		(void)snooze(fAbortDelay);
	EndJob();
}

void MVToolServer::_HandleAnswer(BMessage* message)
{
	int32 which;
	if (message->FindInt32("which", &which) != B_OK || !fStarted || fEnding)
		return;
	BMessage answer;
	switch (which) {
		case 0:
			answer.what = kMsgJobContinue;
			break;
		case 1:
			answer.what = kMsgJobDelete;
			answer.AddInt32("flag", 1);
			break;
		case 2:
			answer.what = kMsgJobDelete;
			break;
		default:
			return;
	}
	answer.AddInt32("job_id", fJobID);
	PostServer(&answer);
}

BMessage MVToolServer::EndMessage() const
{
	BMessage finished(kMsgJobFinished);
	finished.AddInt32("job_id", fJobID);
	finished.AddInt32("report_id", fReportID);
	return finished;
}

void MVToolServer::FinishJob(BMessage* finished)
{
	fEnding = true;
	fPendingStep = 0;
	PostServer(finished);
	PostAbo(finished);
	// The worker's own queue refuses a message only once it is closed,
	// when the worker is quitting already.
	(void)PostMessage(B_QUIT_REQUESTED);
}

// #pragma mark - steps

bool MVToolServer::_MustWait(uint32 step) const
{
	return fPaused && !RunsWhilePaused(step);
}

void MVToolServer::_ScheduleStep()
{
	if (fStepQueued || fPendingStep == 0 || _MustWait(fPendingStep))
		return;
	// A queue that refuses the message is closing: the worker quits, and
	// the step stays pending.
	fStepQueued = PostMessage(kMsgRunStep) == B_OK;
}

void MVToolServer::_RunSteps()
{
	fHoldLines = true;
	_RunPendingSteps();
	fHoldLines = false;
	_SendHeldLines();
}

void MVToolServer::_RunPendingSteps()
{
	bigtime_t deadline = system_time() + kStepBatchTime;
	for (int32 count = 1; fPendingStep != 0 && !_MustWait(fPendingStep); count++) {
		uint32 step = fPendingStep;
		fPendingStep = 0;
		RunStep(step);
		if (CountQueuedMessages() > 0 || count >= kMaxStepsPerBatch
			|| system_time() >= deadline) {
			_ScheduleStep();
			return;
		}
	}
}

void MVToolServer::AskForMedium(uint32 resumeStep, int32 textID,
	const MVTextArguments& arguments, int32 alertType)
{
	BMessage pause(kMsgJobPause);
	pause.AddInt32("job_id", fJobID);
	PostServer(&pause);
	// Paused here already, so that the continue of the answer resumes
	// whether or not the server's pause came back first.
	SetPause(true);
	NextStep(resumeStep);
	LogInsert(kLineInfo, textID, arguments);
	std::string text = MVTextFormat::FormatText(textID, arguments);
	BMessage reply(kMsgRequestAnswer);
	reply.AddInt32("job_id", fJobID);
	// A locale whose texts are not loaded still gives a usable button.
	const char* label = fLocale->Text(kTextContinue);
	if (label == nullptr || label[0] == '\0')
		label = kContinueLabel;
	Request(reply, kChangeMediaTitle, text.c_str(), label, "Abort Job", "Delete Job",
		alertType);
}

// #pragma mark - subscribers

void MVToolServer::PostAbo(BMessage* message)
{
	_SendHeldLines();
	fSubscribers.Send(*message);
}

void MVToolServer::_SendHeldLines()
{
	if (fHeldLines.empty())
		return;
	std::vector<std::shared_ptr<const BMessage>> lines;
	lines.swap(fHeldLines);
	fSubscribers.Send(lines);
}

void MVToolServer::PostServer(BMessage* message)
{
	_SendHeldLines();
	BMessenger server = fHasServer ? fServer : be_app_messenger;
	(void)server.SendMessage(message, (BHandler*)nullptr, B_INFINITE_TIMEOUT);
}

void MVToolServer::LogInsert(int32 lineType, int32 textID, const MVTextArguments& arguments)
{
	MVReportLine line(fLocale->Text(textID), arguments);
	std::string flat = line.Flatten();
	BMessage message(kMsgJobProgress);
	message.AddInt32("report_id", fReportID);
	message.AddInt32("job_id", fJobID);
	message.AddInt32("linetype", lineType);
	message.AddInt32("text_id", textID);
	message.AddData("reportline", MVReportLine::kTypeCode, flat.data(), flat.size(), false);
	if (!fHoldLines) {
		PostAbo(&message);
		return;
	}
	fHeldLines.push_back(std::make_shared<const BMessage>(std::move(message)));
	if (fHeldLines.size() >= kMaxHeldLines)
		_SendHeldLines();
}

void MVToolServer::PostInfo(const char* text, int32 count, int32 maxCount, int64 size,
	int64 maxSize)
{
	int32 elapsed = int32(CurrentTime() - fStartTime);
	// Paused time is no working time; a clock set back leaves none either.
	int32 working = elapsed - GetPause();
	float speed = elapsed > 0 && working > 0 ? float(size) / float(working) : 0.0f;
	int32 remain = kRemainUnknown;
	if (speed > 0)
		remain = maxSize > size ? int32(float(maxSize - size) / speed) : 0;

	BMessage message(kMsgJobProgress);
	message.AddInt32("job_id", fJobID);
	message.AddInt32("report_id", fReportID);
	message.AddInt32("linetype", kLineProgress);
	message.AddString("report", text != nullptr ? text : "-");
	message.AddInt32("count", count);
	message.AddInt32("maxcount", maxCount);
	message.AddInt64("size", size);
	message.AddInt64("maxsize", maxSize);
	message.AddInt32("elapsed", elapsed);
	message.AddInt32("remain", remain);
	message.AddFloat("speed", speed);
	PostAbo(&message);
}

// #pragma mark - questions

void MVToolServer::_AddQuestionFields(BMessage* question, const BMessage& reply, int32 type)
{
	question->AddInt32("job_id", fJobID);
	question->AddMessage("reply", &reply);
	question->AddInt32("type", type);
}

void MVToolServer::Request(const BMessage& reply, const char* title, const char* text,
	const char* label0, const char* label1, const char* label2, int32 type)
{
	BMessage question(kMsgQuestion);
	_AddQuestionFields(&question, reply, type);
	question.AddString("title", title != nullptr ? title : "");
	question.AddString("text", text != nullptr ? text : "");
	question.AddString("label0", label0 != nullptr ? label0 : "");
	if (label1 != nullptr)
		question.AddString("label1", label1);
	if (label2 != nullptr)
		question.AddString("label2", label2);
	PostServer(&question);
}

void MVToolServer::Request(const BMessage& reply, int32 title, int32 text, int32 label0,
	int32 label1, int32 label2, int32 type)
{
	BMessage question(kMsgQuestion);
	_AddQuestionFields(&question, reply, type);
	question.AddInt32("title", title);
	question.AddInt32("text", text);
	question.AddInt32("label0", label0);
	if (label1 != 0)
		question.AddInt32("label1", label1);
	if (label2 != 0)
		question.AddInt32("label2", label2);
	PostServer(&question);
}

void MVToolServer::AbortRequest(const char* title)
{
	BMessage withdraw(kMsgWithdrawQuestion);
	withdraw.AddInt32("job_id", fJobID);
	withdraw.AddString("title", title != nullptr ? title : "");
	PostServer(&withdraw);
}

void MVToolServer::AbortRequest(int32 title)
{
	BMessage withdraw(kMsgWithdrawQuestion);
	withdraw.AddInt32("job_id", fJobID);
	withdraw.AddInt32("title", title);
	PostServer(&withdraw);
}

// #pragma mark - pause

bool MVToolServer::SetPause(bool pause)
{
	bool wasPaused = fPaused;
	if (pause && !fPaused) {
		fPaused = true;
		fPauseStart = CurrentTime();
	} else if (!pause && fPaused) {
		time_t paused = CurrentTime() - fPauseStart;
		if (paused > 0)
			fPausedSeconds += int32(paused);
		fPaused = false;
	}
	return wasPaused;
}

int32 MVToolServer::GetPause() const
{
	if (!fPaused)
		return fPausedSeconds;
	time_t running = CurrentTime() - fPauseStart;
	return fPausedSeconds + (running > 0 ? int32(running) : 0);
}

// #pragma mark - add-ons

MVVolume* MVToolServer::LoadDestinationAddOn(const char* name, const BMessage* settings)
{
	return fLoader.LoadDestination(name, settings, &fDestinationImage, &fAddOnFailure);
}

MVCruncher* MVToolServer::LoadCruncherAddOn(const char* name, const BMessage* settings)
{
	return fLoader.LoadCruncher(name, settings, &fCompressorImage, &fAddOnFailure);
}

int32 MVToolServer::AddOnFailureText() const
{
	return fAddOnFailure == B_MISSING_SYMBOL ? kTextAddOnCorrupt : kTextAddOnLoad;
}

void MVToolServer::FreeDestinationAddOn()
{
	AddOnLoader::Free(&fDestinationImage);
}

void MVToolServer::FreeCruncherAddOn()
{
	AddOnLoader::Free(&fCompressorImage);
}

// #pragma mark - backups

namespace {

// The worker's form of the header read: the bytes read, 0 on any failure.
template<typename Destination>
int32 ReadHeaderFrom(Destination* destination, uint8* header)
{
	if (destination == nullptr)
		return 0;
	VolumeArchive<Destination> source(destination);
	uint32 bytesRead = 0;
	if (ReadBackupHeaderData(&source, header, &bytesRead) != BackupHeaderStatus::Ok)
		return 0;
	return int32(bytesRead);
}

}	// namespace

int32 MVToolServer::ReadBackupHeaderData(MVVolume* destination, uint8* header)
{
	return ReadHeaderFrom(destination, header);
}

int32 MVToolServer::ReadBackupHeaderData(MVVolumeOrg* destination, uint8* header)
{
	return ReadHeaderFrom(destination, header);
}

bool MVToolServer::VersionTest(const BMessage* message)
{
	int16 version = 0;
	if (message != nullptr)
		(void)message->FindInt16("MV_PRGVERSION", &version);
	fBackupVersion = version;
	// Compared unsigned: a version with the top bit set is newer still,
	// not older.
	uint16 number = uint16(version);
	if (number <= kNewestReadableVersion)
		return true;
	const char* title = message->GetString("MV_LOGTITLE", "");
	LogInsert(kLineError, kTextNewerVersion,
		{ title, int32(number >> 8), int32(number & 0xff) });
	return false;
}

void MVToolServer::Encrypt(void* data, size_t length, const char* key, void* output)
{
	Crypt(static_cast<uint8*>(data), length, key, static_cast<uint8*>(output));
}

void MVToolServer::Decrypt(void* data, size_t length, const char* key, void* output)
{
	Crypt(static_cast<uint8*>(data), length, key, static_cast<uint8*>(output));
}
