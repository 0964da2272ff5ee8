#pragma once

// MVSignalWatcher: turns SIGTERM, SIGINT and SIGHUP into a B_QUIT_REQUESTED
// for the application, so that a server stopped by its service manager or
// from a terminal shuts down in order and logs its stop.
//
// The constructor blocks the three signals for the calling thread and every
// thread started after it, so it must run in main() before any other thread
// exists; a thread of its own then waits for them once Start() was called.
// Stop() or the destructor ends that thread; the destructor also unblocks
// the signals.

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

#include <app/Messenger.h>

class MVServerLog;

class MVSignalWatcher {
public:
	MVSignalWatcher();
	~MVSignalWatcher();
	MVSignalWatcher(const MVSignalWatcher&) = delete;
	MVSignalWatcher& operator=(const MVSignalWatcher&) = delete;

	// Posts B_QUIT_REQUESTED to target for every signal; log may be null
	// and must outlive the watching, which Stop() ends.
	void Start(BMessenger target, MVServerLog* log);
	void Stop();

private:
	void _Watch();

	sigset_t fSignals;
	sigset_t fOldMask;
	BMessenger fTarget;
	MVServerLog* fLog = nullptr;
	std::atomic<bool> fStopping{false};
	std::thread fThread;
};
