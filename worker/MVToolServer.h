#pragma once

// MVToolServer: the base of every job worker. A worker is a looper of its own
// that the job queue creates, runs, gives its subscribers ('MVAB') and its
// start message ('MVJS'). The base owns the job-control messages and the
// step loop; an engine implements its steps and a few hooks only.
//
// Job control: 'MVJS' starts the job once (a second start is ignored),
// 'MVAB' adds subscribers, 'MVJP' pauses and 'MVJC' continues it, 'MVJD'
// aborts it, and 'jbrs' is the user's answer to a question. Engines never
// see these messages.
//
// Steps: the engine's work is a chain of steps, each a small unit run by
// RunStep(). A step names the step that follows with NextStep(); exactly one
// step is pending at any time, and at most one message in the worker's
// queue asks for it to run, whatever order pause and continue arrive in.
// Several steps run in one handler call while no other message waits, so
// that control messages are seen between any two steps. A pending step
// waits while the job is paused, unless the engine lets it run paused (an
// end step); continuing runs it.
//
// The end: the engine's last step, or EndJob() after an abort, sends the
// job's end message with FinishJob(), which also quits the worker. The
// worker deletes itself when it quits.
//
// The base also keeps the job and report ids, the subscribers (the report
// server first, then status views), the pause accounting and the loaded
// add-ons, and it sends progress and report lines, questions to the user
// and the media question.
//
// Threads: every member is touched on the worker's own thread only, except
// before Run(). Ownership: the worker owns its loaded add-on images; the
// engine deletes the add-on objects it was handed before it frees or loads
// an add-on of the same kind, and before the worker ends.

#include <ctime>
#include <vector>

#include <app/Looper.h>
#include <app/Message.h>
#include <app/Messenger.h>

#include "AddOnLoader.h"
#include "RecipientList.h"
#include "MVTextArgument.h"

class MVLocale;
class MVVolumeOrg;

class MVToolServer : public BLooper {
public:
	// The user's answer to a question (Request), forwarded by the server.
	static constexpr uint32 kMsgRequestAnswer = 'jbrs';
	// "remain" while no speed is known yet.
	static constexpr int32 kRemainUnknown = -1;
	// Limits of one run of steps in a handler call.
	static constexpr bigtime_t kStepBatchTime = 50000;
	static constexpr int32 kMaxStepsPerBatch = 1024;
	// Report lines written during a run of steps go out together, at most
	// this many at a time: a burst wakes each subscriber once instead of
	// once per line, which is most of the cost of a line per small file.
	static constexpr size_t kMaxHeldLines = 64;
	static constexpr const char* kChangeMediaTitle = "Change Media";
	static constexpr const char* kContinueLabel = "Continue";

	MVToolServer(const char* name, int32 priority, int32 portCapacity,
		const AddOnLoader& loader = AddOnLoader());
	~MVToolServer() override;

	// The job-control messages; engines do not see them.
	void MessageReceived(BMessage* message) final;

	// Sends one report line: text id and its arguments, to every subscriber.
	void LogInsert(int32 lineType, int32 textID, const MVTextArguments& arguments = {});
	// Sends one progress message ('MVJF', "linetype" 100). text may be null.
	void PostInfo(const char* text, int32 count, int32 maxCount, int64 size, int64 maxSize);
	// Sends the message to every subscriber in order; subscribers that are
	// gone are removed.
	void PostAbo(BMessage* message);
	// Posts the message to the server application.
	void PostServer(BMessage* message);

	// Questions to the user ('mvcr' through the server). The answer comes
	// back as reply with an int32 "which", the index of the button chosen.
	// label1 and label2 may be null (or 0 for text ids).
	void Request(const BMessage& reply, const char* title, const char* text,
		const char* label0, const char* label1, const char* label2, int32 type);
	void Request(const BMessage& reply, int32 title, int32 text, int32 label0,
		int32 label1, int32 label2, int32 type);
	// Withdraws the open question of that title ('mvar').
	void AbortRequest(const char* title);
	void AbortRequest(int32 title);

	// Returns the previous paused flag.
	bool SetPause(bool pause);
	bool IsPause() const { return fPaused; }
	// Seconds paused so far, the running pause included.
	int32 GetPause() const;
	time_t GetStartTime() const { return fStartTime; }

	// The add-on's object, owned by the caller, or null; on failure the
	// add-on loaded before (if any) stays loaded.
	MVVolume* LoadDestinationAddOn(const char* name, const BMessage* settings);
	MVCruncher* LoadCruncherAddOn(const char* name, const BMessage* settings);
	void FreeDestinationAddOn();
	void FreeCruncherAddOn();
	// The text of the last failed load's error line: kTextAddOnCorrupt for
	// an add-on without its factory, kTextAddOnLoad for any other failure.
	int32 AddOnFailureText() const;

	// Reads the backup header (kBackupHeaderSize bytes) from the
	// destination into header: the bytes read, 0 on failure.
	int32 ReadBackupHeaderData(MVVolume* destination, uint8* header);
	int32 ReadBackupHeaderData(MVVolumeOrg* destination, uint8* header);
	// False, with an error line, when the backup needs a newer program.
	bool VersionTest(const BMessage* message);
	int16 Version() const { return fBackupVersion; }

	// Both are the archive's scrambling (ArchiveCrypt.h): in place without
	// output, else into output (length bytes).
	static void Encrypt(void* data, size_t length, const char* key, void* output = nullptr);
	static void Decrypt(void* data, size_t length, const char* key, void* output = nullptr);

	int32 JobID() const { return fJobID; }
	int32 ReportID() const { return fReportID; }
	// The step that runs next, 0 when none is pending.
	uint32 PendingStep() const { return fPendingStep; }
	// Where PostServer() and the questions go; the application by default.
	void SetServer(const BMessenger& server) { fServer = server; fHasServer = true; }
	int32 CountSubscribers() const { return fSubscribers.Count(); }

protected:
	// The engine's hooks.
	//
	// Takes the start message ('MVJS', with the job record); names the first
	// step with NextStep(), or ends the job at once with FinishJob().
	virtual void StartJob(const BMessage* job) = 0;
	// Runs one step; names the one that follows with NextStep(). A step that
	// names none leaves the job waiting for a message, or has ended it.
	virtual void RunStep(uint32 step) = 0;
	// The job was aborted ('MVJD'): no step runs any more; the engine writes
	// its end lines and calls FinishJob().
	virtual void EndJob() = 0;
	// Whether step may run while the job is paused (an end step that only
	// reports and releases).
	virtual bool RunsWhilePaused(uint32 step) const { (void)step; return false; }

	// Makes step the pending step, in place of any other.
	void NextStep(uint32 step) { fPendingStep = step; }
	// The job's end message ('MVJf') with "job_id" and "report_id"; the
	// engine adds its own fields.
	BMessage EndMessage() const;
	// Sends the end message to the server and the subscribers and quits the
	// worker. No step runs after it.
	void FinishJob(BMessage* finished);

	// The media question: pauses the job here and through the server
	// ('MVJP'), writes the question's text as an information line, asks the
	// clients "Change Media" with Continue, "Abort Job" and "Delete Job",
	// and makes resumeStep the pending step, which runs once the answer
	// Continue has continued the job.
	void AskForMedium(uint32 resumeStep, int32 textID, const MVTextArguments& arguments,
		int32 alertType);

	bool IsAborted() const { return fAborted; }
	bool IsEnding() const { return fEnding; }
	void SetAbortDelay(bigtime_t delay) { fAbortDelay = delay; }

	// The clock of the pause accounting and the progress; tests replace it.
	virtual time_t CurrentTime() const;

private:
	// The one message that asks for the pending step to run.
	static constexpr uint32 kMsgRunStep = 'wkst';

	void _Start(const BMessage* job);
	void _AddSubscribers(const BMessage* message);
	void _Pause();
	void _Continue();
	void _Abort();
	void _HandleAnswer(BMessage* message);
	bool _MustWait(uint32 step) const;
	void _ScheduleStep();
	void _RunSteps();
	void _RunPendingSteps();
	void _SendHeldLines();
	void _AddQuestionFields(BMessage* question, const BMessage& reply, int32 type);

	MVLocale* fLocale;
	int32 fJobID = 0;
	int32 fReportID = 0;
	// A hung status view cannot stop the job: it is dropped.
	RecipientList fSubscribers;
	uint32 fPendingStep = 0;
	// A kMsgRunStep message is in the queue.
	bool fStepQueued = false;
	bool fStarted = false;
	bool fPaused = false;
	int32 fPausedSeconds = 0;
	time_t fPauseStart = 0;
	time_t fStartTime;
	image_id fDestinationImage = 0;
	image_id fCompressorImage = 0;
	status_t fAddOnFailure = B_OK;
	int16 fBackupVersion = 0;

	AddOnLoader fLoader;
	BMessenger fServer;
	bool fHasServer = false;
	bool fAborted = false;
	bool fEnding = false;
	bigtime_t fAbortDelay = 1000000;
	bool fHoldLines = false;
	std::vector<std::shared_ptr<const BMessage>> fHeldLines;
};
