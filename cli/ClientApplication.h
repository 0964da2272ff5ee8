#pragma once

// The application object of `morvane`. The server talks to its clients'
// application loopers and waits for some answers (a job's 'MVJS'), so the
// loop must run the whole time: RunCommand() runs the command on a thread
// of its own while the calling (main) thread runs the loop.
//
// Following a job: messages for the followed job ('MVJS' notices, the
// queue broadcasts 'MVjc' and 'MVJR', the questions 'mvcr' and 'mvar') and
// everything sent to FollowerMessenger() (progress, report lines, 'MVJf',
// 'rpRP', 'rpTI') go to Events(), where the command's thread takes them.
// The 'MVJS' of the followed job is answered with FollowerMessenger(), so
// that the server subscribes it to the job. Notices of other jobs stay
// unanswered. Follow(), BeginSubmit() and EndSubmit() may be called from
// any thread.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <app/Application.h>

#include "JobEventQueue.h"

class ClientApplication : public BApplication {
public:
	explicit ClientApplication(const char* signature);
	~ClientApplication() override;

	// Runs body on its own thread and this thread's loop until body returns;
	// body's result.
	int RunCommand(std::function<int()> body);

	// Between BeginSubmit() and Follow() (or EndSubmit()) a job is being
	// submitted whose id is not known yet; job start notices wait for it,
	// at most kSubmitPatience.
	void BeginSubmit();
	void EndSubmit();
	// 0 follows no job.
	void Follow(int32 jobId);
	int32 FollowedJob();

	BMessenger FollowerMessenger() const;
	JobEventQueue& Events() { return fEvents; }

	void ReadyToRun() override;
	void MessageReceived(BMessage* message) override;

	static constexpr bigtime_t kSubmitPatience = 10000000;

private:
	void _AnswerJobStart(BMessage* notice);
	bool _IsFollowed(const BMessage& message);

	class EventHandler;

	std::unique_ptr<EventHandler> fHandler;
	JobEventQueue fEvents;
	std::function<int()> fBody;
	std::thread fCommand;
	int fResult = 0;

	std::mutex fLock;
	std::condition_variable fSubmitEnded;
	bool fSubmitting = false;
	int32 fFollowedJob = 0;
};
