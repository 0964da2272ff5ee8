#pragma once

// Follows one job to its end on the command's thread: takes the job's
// messages from a JobEventQueue, shows progress (one updating line on a
// terminal, a plain line every kPlainProgressInterval on other outputs),
// prints the report lines as they arrive - by default the notices, warnings,
// errors and the summary, verbose also the settings and every item - answers
// the job's questions, and gives the exit status:
// 0 success, 1 aborted, 2 ended with errors (a worker's status 2, or any
// error line), 3 the end could not be learnt.
//
// A question ('mvcr', such as "Change Media") is answered by running the
// media command through /bin/sh (exit 0: Continue, otherwise Abort Job),
// else by asking on the terminal, else - with nobody to ask - by aborting
// the job. An interrupt (SIGINT, see InstallInterruptHandler) stops the
// following and leaves the job running.
//
// The follower reaches the server only through the callbacks, so that it
// can be driven without one. Not thread-safe; the queue is.

#include <cstdio>
#include <functional>
#include <string>

#include <app/Message.h>
#include <kernel/OS.h>

#include "JobEventQueue.h"

class JobFollower {
public:
	// What the server says of a job when asked.
	// ServerGone: the server has ended, and the job's end will never come.
	enum class JobPresence { Unknown, Gone, Idle, Running, ServerGone };

	JobFollower(JobEventQueue& events, FILE* out, bool terminal);

	// Sends a message to the server (answers to questions).
	void SetSender(std::function<void(const BMessage&)> sender) { fSender = std::move(sender); }
	// Asks the server whether the job still runs; used when no message
	// came for a while, so that a lost end message cannot hang the client.
	void SetProbe(std::function<JobPresence()> probe) { fProbe = std::move(probe); }
	void SetMediaCommand(const std::string& command) { fMediaCommand = command; }
	// Whether questions may be asked on the terminal (stdin is one).
	void SetInteractive(bool interactive) { fInteractive = interactive; }
	// True when the job is known to run already (subscribed with 'MVAB').
	void SetStarted(bool started) { fStarted = started; }
	void SetVerbose(bool verbose) { fVerbose = verbose; }
	// How often progress is printed where it cannot be redrawn.
	void SetPlainProgressInterval(bigtime_t interval) { fPlainProgressInterval = interval; }

	// Runs until the job ends or an interrupt; the exit status.
	int Follow(int32 jobId);

	// One message of the job; true when it ended the following.
	bool Handle(const BMessage& message);
	bool HasEnded() const { return fEnded; }
	int Result() const;

	// SIGINT sets a flag that Follow() notices; the job goes on running.
	static void InstallInterruptHandler();
	static bool WasInterrupted();
	static void ResetInterrupted();

	static constexpr bigtime_t kPollInterval = 200000;
	static constexpr bigtime_t kProbeInterval = 3000000;
	static constexpr bigtime_t kEndGrace = 3000000;
	static constexpr bigtime_t kProgressInterval = 200000;
	static constexpr bigtime_t kPlainProgressInterval = 10000000;

private:
	void _Progress(const BMessage& message);
	void _ReportLine(const BMessage& message);
	void _Finished(const BMessage& message);
	void _StateChanged(const BMessage& message);
	void _Removed();
	void _Question(const BMessage& message);
	int32 _Answer(const BMessage& question, const std::string& text);
	int32 _AskOnTerminal();
	void _ClearProgress();
	void _Print(const std::string& line);

	static bool _IsDetail(int32 lineType);
	static std::string _QuestionText(const BMessage& question, const char* field);

	JobEventQueue& fEvents;
	FILE* fOut;
	bool fTerminal;
	bool fInteractive = false;
	bool fVerbose = false;
	bigtime_t fPlainProgressInterval = kPlainProgressInterval;
	std::string fMediaCommand;
	std::function<void(const BMessage&)> fSender;
	std::function<JobPresence()> fProbe;

	int32 fJobId = 0;
	bool fStarted = false;
	bool fEnded = false;
	bool fAborted = false;
	bool fHadErrors = false;
	bool fEndUnknown = false;
	bool fServerGone = false;
	bool fProgressShown = false;
	bigtime_t fLastProgress;
	bigtime_t fRemovedAt = 0;
};
