// The job queue of the server: the job table, the job index and the
// operations on them.
//
// The queue itself (accepting, scheduling, starting, saving and loading jobs)
// is not built yet: JobAdd() accepts no job and the job list is neither read
// nor written, so the operations that act on a queued job find none. What
// only looks jobs up (finding, listing, subscribing, forwarding) works on
// whatever the table holds.

#include "MVServer.h"

#include "ServerProtocol.h"

BMessage* MVServer::FindJob(int32 jobId) const
{
	int32 slot = _JobSlot(jobId);
	if (slot < 0 || size_t(slot) >= fJobs.size())
		return nullptr;
	return fJobs[size_t(slot)].get();
}

void MVServer::JobList(BMessage* reply) const
{
	*reply = fJobIndex;
	reply->RemoveName("user");
}

void MVServer::JobSubscribe(BMessage* request)
{
	int32 jobId = _JobIdOf(request);
	BMessage* record = FindJob(jobId);
	BMessenger user;
	if (record == nullptr || request->FindMessenger("user", &user) != B_OK)
		return;
	record->AddMessenger("user", user);
	if (user.IsValid()) {
		BMessage copy(*record);
		copy.what = kMsgJobRecord;
		copy.RemoveName("user");
		user.SendMessage(&copy, static_cast<BHandler*>(nullptr), kClientSendTimeout);
	}
	// The worker adds the subscriber to the receivers of its progress.
	BMessenger worker = _WorkerOf(jobId);
	if (worker.IsValid())
		_Forward(worker, request);
}

bool MVServer::JobAbort(int32 jobId)
{
	BMessage abort(kMsgJobDelete);
	abort.AddInt32("job_id", jobId);
	return PostToolServer(&abort);
}

int32 MVServer::JobAdd(BMessage* request)
{
	return 0;
}

void MVServer::JobInserted(int32 jobId)
{
}

void MVServer::JobChanged(int32 jobId)
{
}

void MVServer::JobRemoved(int32 jobId)
{
}

bool MVServer::JobRem(int32 jobId)
{
	return false;
}

void MVServer::JobStart(int32 jobId)
{
}

bool MVServer::JobPause(int32 jobId)
{
	return false;
}

bool MVServer::JobContinue(int32 jobId)
{
	return false;
}

bool MVServer::JobRestart(int32 jobId)
{
	return false;
}

void MVServer::JobEdit(int32 jobId, int32 edit)
{
}

void MVServer::JobReplace(BMessage* request)
{
}

int32 MVServer::SaveJobList()
{
	return 1;
}

int32 MVServer::LoadJobList()
{
	return 1;
}
