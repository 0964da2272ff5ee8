#include "ClientApplication.h"

#include <chrono>

#include <app/AppDefs.h>
#include <app/Message.h>

#include "ServerProtocol.h"

// Receives what the server and the job's worker send to the follower's
// messenger and queues it for the command's thread.
class ClientApplication::EventHandler : public BHandler {
public:
	explicit EventHandler(JobEventQueue& events)
		:
		BHandler("job follower"),
		fEvents(events)
	{
	}

	void MessageReceived(BMessage* message) override
	{
		fEvents.Push(*message);
	}

private:
	JobEventQueue& fEvents;
};

ClientApplication::ClientApplication(const char* signature)
	:
	BApplication(signature),
	fHandler(std::make_unique<EventHandler>(fEvents))
{
	AddHandler(fHandler.get());
}

ClientApplication::~ClientApplication()
{
	if (fCommand.joinable())
		fCommand.join();
	RemoveHandler(fHandler.get());
}

int ClientApplication::RunCommand(std::function<int()> body)
{
	fBody = std::move(body);
	Run();
	if (fCommand.joinable())
		fCommand.join();
	return fResult;
}

void ClientApplication::ReadyToRun()
{
	if (!fBody) {
		// The application's own queue is open until it quits.
		(void)PostMessage(B_QUIT_REQUESTED);
		return;
	}
	fCommand = std::thread([this] {
		fResult = fBody();
		(void)PostMessage(B_QUIT_REQUESTED);
	});
}

void ClientApplication::BeginSubmit()
{
	std::lock_guard<std::mutex> guard(fLock);
	fSubmitting = true;
}

void ClientApplication::EndSubmit()
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		fSubmitting = false;
	}
	fSubmitEnded.notify_all();
}

void ClientApplication::Follow(int32 jobId)
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		fFollowedJob = jobId;
		fSubmitting = false;
	}
	fSubmitEnded.notify_all();
}

int32 ClientApplication::FollowedJob()
{
	std::lock_guard<std::mutex> guard(fLock);
	return fFollowedJob;
}

BMessenger ClientApplication::FollowerMessenger() const
{
	return BMessenger(fHandler.get(), this);
}

bool ClientApplication::_IsFollowed(const BMessage& message)
{
	int32 jobId = message.GetInt32("job_id", 0);
	return jobId != 0 && jobId == FollowedJob();
}

// The server waits for this answer (with a time limit) before it starts the
// job, so a notice that comes while the submitted job's id is still on its
// way waits for it here instead of being left unanswered.
void ClientApplication::_AnswerJobStart(BMessage* notice)
{
	int32 jobId = notice->GetInt32("job_id", 0);
	{
		std::unique_lock<std::mutex> guard(fLock);
		fSubmitEnded.wait_for(guard, std::chrono::microseconds(kSubmitPatience),
			[this] { return !fSubmitting; });
		if (jobId == 0 || jobId != fFollowedJob)
			return;
	}
	BMessage reply(B_REPLY);
	reply.AddMessenger("user", FollowerMessenger());
	(void)notice->SendReply(&reply);
	fEvents.Push(*notice);
}

void ClientApplication::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kMsgJobStart:
			_AnswerJobStart(message);
			return;
		case kMsgJobChanged:
		case kMsgJobRemoved:
		case kMsgQuestion:
		case kMsgWithdrawQuestion:
			if (_IsFollowed(*message))
				fEvents.Push(*message);
			return;
		case kMsgVolumeData:
			// The answer to a destination scan comes as a broadcast.
			fEvents.Push(*message);
			return;
		default:
			// Other broadcasts (new jobs, catalogues, reports) are of no
			// interest to a command line.
			return;
	}
}
