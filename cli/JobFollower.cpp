#include "JobFollower.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ExitStatus.h"
#include "MVLocale.h"
#include "JobEndStatus.h"
#include "ReportLineType.h"
#include "ReportText.h"
#include "ServerProtocol.h"
#include "TerminalText.h"

namespace {

std::atomic<bool> sInterrupted{false};

void InterruptReceived(int)
{
	sInterrupted = true;
}

constexpr uint32 kMsgQuestionReply = 'jbrs';

// Button indices of a job's question, as the worker reads "which".
enum : int32 {
	kAnswerNone = -1,
	kAnswerContinue = 0,
	kAnswerAbort = 1,
	kAnswerDelete = 2,
};

}	// namespace

JobFollower::JobFollower(JobEventQueue& events, FILE* out, bool terminal)
	:
	fEvents(events),
	fOut(out),
	fTerminal(terminal),
	fLastProgress(system_time())
{
}

void JobFollower::InstallInterruptHandler()
{
	struct sigaction action = {};
	action.sa_handler = InterruptReceived;
	sigemptyset(&action.sa_mask);
	sigaction(SIGINT, &action, nullptr);
}

bool JobFollower::WasInterrupted()
{
	return sInterrupted;
}

void JobFollower::ResetInterrupted()
{
	sInterrupted = false;
}

int JobFollower::Result() const
{
	if (fServerGone)
		return kExitNoServer;
	if (fEndUnknown)
		return kExitFailure;
	if (fAborted)
		return kExitAborted;
	if (fHadErrors)
		return kExitEndedWithErrors;
	return kExitSuccess;
}

int JobFollower::Follow(int32 jobId)
{
	fJobId = jobId;
	bigtime_t lastEvent = system_time();
	while (!fEnded) {
		if (WasInterrupted()) {
			_ClearProgress();
			fprintf(fOut, "Stopped following job %d; it goes on running. 'morvane wait %d' "
				"follows it again, 'morvane abort %d' aborts it.\n", jobId, jobId, jobId);
			fflush(fOut);
			return kExitInterrupted;
		}
		std::unique_ptr<BMessage> message = fEvents.Pop(kPollInterval);
		bigtime_t now = system_time();
		if (message) {
			lastEvent = now;
			Handle(*message);
			continue;
		}
		if (fRemovedAt != 0 && now - fRemovedAt > kEndGrace) {
			_ClearProgress();
			_Print("Job " + std::to_string(jobId) + " ended, but its result did not arrive; "
				"'morvane reports' lists its report.");
			fEndUnknown = true;
			fEnded = true;
		} else if (fRemovedAt == 0 && fProbe && now - lastEvent > kProbeInterval) {
			lastEvent = now;
			JobPresence presence = fProbe();
			if (presence == JobPresence::ServerGone) {
				_Print("The server has ended; the end of job " + std::to_string(jobId)
					+ " is unknown.");
				fServerGone = true;
				fEnded = true;
			} else if (presence == JobPresence::Gone
				|| (presence == JobPresence::Idle && fStarted)) {
				_Removed();
			}
		}
	}
	_ClearProgress();
	return Result();
}

bool JobFollower::Handle(const BMessage& message)
{
	switch (message.what) {
		case kMsgJobStart:
		case kMsgJobRecord:
			if (!fStarted)
				_Print("Job " + std::to_string(fJobId) + " is running.");
			fStarted = true;
			break;
		case kMsgJobProgress:
			if (message.GetInt32("linetype", 0) == kLineProgress)
				_Progress(message);
			else
				_ReportLine(message);
			break;
		case kMsgReportLine:
			_ReportLine(message);
			break;
		case kMsgJobFinished:
			_Finished(message);
			break;
		case kMsgJobChanged:
			_StateChanged(message);
			break;
		case kMsgJobRemoved:
			_Removed();
			break;
		case kMsgQuestion:
			_Question(message);
			break;
		default:
			break;
	}
	return fEnded;
}

void JobFollower::_Print(const std::string& line)
{
	_ClearProgress();
	fprintf(fOut, "%s\n", TerminalText(line).c_str());
	fflush(fOut);
}

void JobFollower::_ClearProgress()
{
	if (!fProgressShown)
		return;
	fputs("\r\033[K", fOut);
	fProgressShown = false;
}

// A terminal gets one progress line, redrawn a few times a second at most;
// a log or a pipe gets a line of its own now and then.
void JobFollower::_Progress(const BMessage& message)
{
	bigtime_t now = system_time();
	if (!fTerminal) {
		if (now - fLastProgress < fPlainProgressInterval)
			return;
		fLastProgress = now;
		_Print(ReportText::Progress(message));
		return;
	}
	if (fProgressShown && now - fLastProgress < kProgressInterval)
		return;
	fLastProgress = now;
	fprintf(fOut, "\r\033[K%s", TerminalText(ReportText::Progress(message)).c_str());
	fflush(fOut);
	fProgressShown = true;
}

void JobFollower::_ReportLine(const BMessage& message)
{
	int32 lineType = message.GetInt32("linetype", 0);
	if (lineType == kLineError)
		fHadErrors = true;
	if (!fVerbose && _IsDetail(lineType))
		return;
	_Print(ReportText::Line(message));
}

// The settings block and the line of every item, which a job of many
// files would flood the output with.
bool JobFollower::_IsDetail(int32 lineType)
{
	switch (lineType) {
		case kLineVolumeRoot:
		case kLineDirectory:
		case kLineSymLink:
		case kLineFile:
		case kLineSettings:
			return true;
		default:
			return false;
	}
}

void JobFollower::_Finished(const BMessage& message)
{
	int32 status = message.GetInt32("status", 0);
	if (status == kJobEndedAborted)
		fAborted = true;
	else if (status == kJobEndedWithErrors)
		fHadErrors = true;
	const char* outcome = fAborted ? "was aborted" : fHadErrors ? "ended with errors"
		: "ended successfully";
	_Print("Job " + std::to_string(fJobId) + " " + outcome + ".");
	fEnded = true;
}

void JobFollower::_StateChanged(const BMessage& message)
{
	int32 state = message.GetInt32("jobstatus", 0);
	int32 oldState = message.GetInt32("oldjobstatus", 0);
	std::string job = "Job " + std::to_string(fJobId);
	if (state == kJobRunning && !fStarted) {
		_Print(job + " is running.");
		fStarted = true;
	} else if (state == kJobPaused && fStarted) {
		_Print(job + " is paused.");
	} else if (state == kJobRunning && oldState == kJobPaused) {
		_Print(job + " goes on.");
	} else if (state == kJobWaiting && fStarted) {
		// A repeating job is back in the queue for its next run: this run
		// has ended, and its end message is on its way.
		_Removed();
	}
}

void JobFollower::_Removed()
{
	if (!fStarted) {
		_Print("Job " + std::to_string(fJobId) + " was removed from the queue before it ran.");
		fAborted = true;
		fEnded = true;
		return;
	}
	if (fRemovedAt == 0)
		fRemovedAt = system_time();
}

std::string JobFollower::_QuestionText(const BMessage& question, const char* field)
{
	const char* text = nullptr;
	if (question.FindString(field, &text) == B_OK)
		return text;
	int32 textID;
	if (question.FindInt32(field, &textID) == B_OK) {
		const char* localized = MVLocale::GetInstance()->Text(textID);
		return localized != nullptr ? localized : "";
	}
	return "";
}

void JobFollower::_Question(const BMessage& message)
{
	std::string title = _QuestionText(message, "title");
	std::string text = _QuestionText(message, "text");
	_Print(title.empty() ? text : title + ": " + text);
	int32 which = _Answer(message, text);
	if (which == kAnswerNone)
		return;
	BMessage reply(kMsgQuestionReply);
	if (message.FindMessage("reply", &reply) != B_OK)
		reply = BMessage(kMsgQuestionReply);
	if (!reply.HasData("job_id", B_INT32_TYPE))
		reply.AddInt32("job_id", fJobId);
	reply.SetInt32("which", which);
	if (fSender)
		fSender(reply);
}

int32 JobFollower::_Answer(const BMessage& question, const std::string& text)
{
	if (!fMediaCommand.empty()) {
		_Print("Running: " + fMediaCommand);
		int status = system(fMediaCommand.c_str());
		bool succeeded = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
		_Print(succeeded ? "The command succeeded; the job goes on."
			: "The command failed; aborting the job.");
		return succeeded ? kAnswerContinue : kAnswerAbort;
	}
	if (fInteractive) {
		std::string labels;
		for (int32 i = 0; i < 3; i++) {
			std::string label = _QuestionText(question, ("label" + std::to_string(i)).c_str());
			if (!label.empty())
				labels += "  [" + std::to_string(i + 1) + "] " + label;
		}
		_Print(labels.empty() ? "  [1] Continue  [2] Abort Job  [3] Delete Job" : labels);
		return _AskOnTerminal();
	}
	(void)text;
	_Print("Nobody can answer here (no terminal and no --on-media-change command): "
		"aborting the job.");
	return kAnswerAbort;
}

// Reads the answer without blocking the follower for good: an interrupt,
// or the worker taking its question back, ends the wait without an answer.
int32 JobFollower::_AskOnTerminal()
{
	fputs("Your choice: ", fOut);
	fflush(fOut);
	std::string line;
	while (true) {
		if (WasInterrupted())
			return kAnswerNone;
		if (fEvents.Take(kMsgWithdrawQuestion, fJobId)) {
			_Print("\nThe question was withdrawn.");
			return kAnswerNone;
		}
		pollfd input = {STDIN_FILENO, POLLIN, 0};
		int ready = poll(&input, 1, int(kPollInterval / 1000));
		if (ready <= 0)
			continue;
		char c;
		ssize_t got = read(STDIN_FILENO, &c, 1);
		if (got <= 0) {
			_Print("\nNo answer (end of input): aborting the job.");
			return kAnswerAbort;
		}
		if (c != '\n') {
			line += c;
			continue;
		}
		char first = line.empty() ? '\0' : char(tolower((unsigned char)line[0]));
		if (first == '1' || first == 'c')
			return kAnswerContinue;
		if (first == '2' || first == 'a')
			return kAnswerAbort;
		if (first == '3' || first == 'd')
			return kAnswerDelete;
		line.clear();
		fputs("Please answer 1 (continue), 2 (abort) or 3 (delete): ", fOut);
		fflush(fOut);
	}
}
