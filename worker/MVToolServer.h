#pragma once

// MVToolServer: the base of every job worker. A worker is a looper of its own
// that the job queue creates, runs, gives its subscribers ('MVAB') and its
// start message ('MVJS'). It runs its job as a chain of step messages to
// itself (NextStep), so that pause, continue and abort are handled between
// steps, and ends by sending 'MVJf' and quitting itself.
//
// The base keeps the job and report ids, the subscribers (the report server
// first, then status views), the pause accounting and the loaded add-ons,
// and it sends progress and report lines, questions to the user and answers
// to them. The engines handle 'MVJS', 'MVAB', 'MVJP', 'MVJC' and 'MVJD' with
// the helpers below and pass every other code to this MessageReceived, which
// handles 'jbrs' (the user's answer to a question) itself.
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
#include "MVTextArgument.h"

class MVLocale;
class MVVolumeOrg;

class MVToolServer : public BLooper {
public:
	// The user's answer to a question (Request), forwarded by the server.
	static constexpr uint32 kMsgRequestAnswer = 'jbrs';
	// A subscriber that does not take a message within this time misses
	// it, so that one hanging status view cannot stop the job.
	static constexpr bigtime_t kSubscriberTimeout = 5000000;
	// "remain" while no speed is known yet.
	static constexpr int32 kRemainUnknown = -1;
	// Limits of one run of steps (RunSteps).
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

	void MessageReceived(BMessage* message) override;

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
	uint32 CurrentStep() const { return fCurrentStep; }
	// Where PostServer() and the questions go; the application by default.
	void SetServer(const BMessenger& server) { fServer = server; fHasServer = true; }
	const BMessage& Subscribers() const { return fSubscribers; }

protected:
	// The helpers of the worker contract, for the engines' MessageReceived.
	// 'MVJS': takes "job_id" and "report_id".
	void TakeStart(const BMessage* message);
	// 'MVAB': appends every "user" messenger.
	void AddSubscribers(const BMessage* message);
	// 'MVJP'.
	void PauseJob();
	// 'MVJC': continues with the kept step when the job was paused.
	void ContinueJob();
	// 'MVJD': unless already ending, marks the job aborted, drops what is
	// queued, waits the abort delay and calls EndJob(). False when the
	// job was already ending.
	bool AbortJob();
	// Ends the job; engines send 'MVJf' and quit here.
	virtual void EndJob() {}

	// Runs step and the steps that follow it in one handler call, for at
	// most kStepBatchTime and kMaxStepsPerBatch steps and only while no
	// other message waits, so that control messages are seen between any
	// two steps. A step that must wait stays current; the rest of the run
	// is posted as one step message. Report lines written meanwhile are
	// held and sent, in order, before anything else goes to the
	// subscribers or the server, and when the run ends.
	void RunSteps(uint32 step);
	// Runs one step of the engine; returns the step that follows, 0 when
	// none is to run now (job ended, waiting for an answer).
	virtual uint32 RunStep(uint32 step) { (void)step; return 0; }
	// True while step must not run (paused by default); it runs when the
	// job continues.
	virtual bool StepMustWait(uint32 step) const { (void)step; return IsPause(); }

	// The media question: pauses the job here and through the server
	// ('MVJP'), writes the question's text as an information line and asks
	// the clients "Change Media" with Continue, "Abort Job" and "Delete Job",
	// whose answer ('jbrs') comes back to MessageReceived.
	void AskForMedium(int32 textID, const MVTextArguments& arguments, int32 alertType);

	// Makes code the current step and posts it unless the job is paused.
	void NextStep(uint32 code);
	void SetCurrentStep(uint32 code) { fCurrentStep = code; }
	bool IsAborted() const { return fAborted; }
	bool IsEnding() const { return fEnding; }
	void SetEnding() { fEnding = true; }
	void SetAbortDelay(bigtime_t delay) { fAbortDelay = delay; }

	// The clock of the pause accounting and the progress; tests replace it.
	virtual time_t CurrentTime() const;

private:
	void _HandleAnswer(BMessage* message);
	void _SendToSubscribers(BMessage* message);
	void _SendHeldLines();
	void _RunSteps(uint32 step);
	void _AddQuestionFields(BMessage* question, const BMessage& reply, int32 type);

	MVLocale* fLocale;
	int32 fJobID = 0;
	int32 fReportID = 0;
	BMessage fSubscribers;
	uint32 fCurrentStep = 0;
	bool fPaused = false;
	int32 fPausedSeconds = 0;
	time_t fPauseStart = 0;
	time_t fStartTime;
	image_id fDestinationImage = 0;
	image_id fCompressorImage = 0;
	int16 fBackupVersion = 0;

	AddOnLoader fLoader;
	BMessenger fServer;
	bool fHasServer = false;
	bool fAborted = false;
	bool fEnding = false;
	bigtime_t fAbortDelay = 1000000;
	bool fHoldLines = false;
	std::vector<BMessage> fHeldLines;
};
