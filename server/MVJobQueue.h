#pragma once

// MVJobQueue: the server's job queue. It owns the jobs (JobTable) with their
// records and states, adds and removes them, starts due jobs with a worker
// made by the settings' factory, passes pause, continue and abort on to the
// worker, reschedules repeating jobs, and keeps the job list file
// (MVJobListFile) in step: every change that must outlive the process saves
// it at once. It tells the clients of every change ('MVJI', 'MVjc',
// 'MVJR') through the client registry.
//
// Job ids are never 0. The job record of a job carries "client_id" for
// every registered client; the server adds and removes them as clients
// come and go (AddClient, RemoveClient).
//
// Threads: the application thread only; the workers and the report server
// are reached by messages. The registry and the log are not owned and must
// outlive the queue. A worker runs as a looper of its own and deletes
// itself when it quits.

#include <functional>
#include <set>
#include <string>

#include <app/Looper.h>
#include <app/Message.h>

#include "QueuedJob.h"

class MVClientRegistry;
class MVServerLog;
struct MVServerSettings;

class MVJobQueue {
public:
	MVJobQueue(const MVServerSettings& settings, MVClientRegistry& clients, MVServerLog& log);
	MVJobQueue(const MVJobQueue&) = delete;
	MVJobQueue& operator=(const MVJobQueue&) = delete;

	// Where new reports are asked for and whom every worker reports to.
	void SetReportServer(const BMessenger& reportServer) { fReportServer = reportServer; }

	// The jobs in queue order.
	const JobTable& Jobs() const { return fJobs; }
	// The queued job of that id, or null.
	const QueuedJob* Job(int32 jobId) const;
	// Its record, or null.
	BMessage* FindJob(int32 jobId) const;

	// Queues a job from a client's request, which gets the new "job_id";
	// 0, with *refusal saying why in English, when the request has no start
	// time or a job type without a worker, or no id is free.
	[[nodiscard]] int32 JobAdd(BMessage* request, std::string* refusal = nullptr);
	// The notices to the clients: a job was added, changed or removed.
	void JobInserted(int32 jobId);
	void JobChanged(int32 jobId);
	void JobRemoved(int32 jobId);
	// Removes a job, aborting its worker; false for an unknown job and for
	// one open in an edit window.
	bool JobRem(int32 jobId);
	// Tells the job's worker to abort; false when none runs.
	bool JobAbort(int32 jobId);
	// Starts a waiting job: its worker, its report and the status views of
	// the clients that want one.
	// Starts a waiting job's worker; false when it did not start.
	bool JobStart(int32 jobId);
	// False for a job paused already or open in an edit window.
	bool JobPause(int32 jobId);
	bool JobContinue(int32 jobId);
	// After the job's worker ended: true when the job stays queued for its
	// next start (a repeating one, or one started before its time), false
	// when it is done. A run that finished ("last_start" moves to its
	// start time) is the base of the next incremental or differential
	// backup; an aborted one is not.
	bool JobRestart(int32 jobId, bool finished = true);
	// For backup jobs: the selection of the base job and the time after
	// which changed files are saved ("archive_time").
	void PrepareBackupJob(BMessage* record);
	// edit != 0 puts a waiting or paused job into Edit; 0 takes it out.
	// False when nothing changed: the job is missing, running or already
	// being edited, or was not being edited.
	bool JobEdit(int32 jobId, int32 edit);
	// Replaces a job's record with the request's "job_data".
	void JobReplace(BMessage* request);
	// Adds the request's "user" to the job's subscribers, sends it the job
	// record and passes the request to the worker.
	void JobSubscribe(BMessage* request);
	// The job index ('MVJL' reply).
	void JobList(BMessage* reply) const;
	// Starts every waiting job whose time has come.
	void StartDueJobs();
	// Whether a job has a worker, running or paused in its work.
	bool HasWorkingJobs() const;
	// Whether a job waits for its start time (not held, not edited).
	bool HasWaitingJobs() const;

	// Sends the message to the worker of the job its "job_id" names. False
	// when it names no job, the job has no live worker, or the worker does
	// not take the message. Replies go where replies to the message would
	// have gone.
	bool PostToolServer(BMessage* message);

	// A client came or went: every record lists it, or no longer does.
	void AddClient(team_id team);
	void RemoveClient(team_id team);

	// 0 written; 1 folder not usable; 2 file not created; 3 header not
	// written; 4 contents not written.
	[[nodiscard]] int32 SaveJobList();
	// 0 read; 1 no file; 2 header short; 3 wrong magic; 4 contents
	// unreadable. A damaged file is kept aside.
	[[nodiscard]] int32 LoadJobList();

private:
	QueuedJob* _Job(int32 jobId);
	int32 _Now() const;
	int32 _NewJobId() const;
	bool _RunsJobType(int32 jobType) const;
	void _SetState(QueuedJob* job, int32 state, int32 oldState);
	void _SaveJobs();
	void _PostJobEntry(uint32 what, int32 jobId, bool withOldState);
	BMessenger _StartWorker(int32 jobType, const BMessage& record);
	void _AskForReport(BMessage* notice, BMessage* record);
	void _AskClientsForViews(BMessage* notice, BMessage* subscription, BMessage* record);
	void _SendToWorker(const QueuedJob& job, uint32 what);

	std::string fProgramFolder;
	std::function<BLooper*(int32 jobType, const BMessage& job)> fWorkerFactory;
	std::function<bool(int32 jobType)> fRunsJobType;
	// Jobs whose type has no worker here, told in the log once.
	std::set<int32> fToldCannotRun;
	std::function<int32()> fClock;
	MVClientRegistry& fClients;
	MVServerLog& fLog;
	BMessenger fReportServer;
	JobTable fJobs;
};
