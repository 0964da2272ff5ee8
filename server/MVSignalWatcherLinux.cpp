#include "MVSignalWatcher.h"

#include <app/AppDefs.h>

#include "MVServerLog.h"

MVSignalWatcher::MVSignalWatcher()
{
	sigemptyset(&fSignals);
	sigaddset(&fSignals, SIGTERM);
	sigaddset(&fSignals, SIGINT);
	sigaddset(&fSignals, SIGHUP);
	pthread_sigmask(SIG_BLOCK, &fSignals, &fOldMask);
}

MVSignalWatcher::~MVSignalWatcher()
{
	Stop();
	pthread_sigmask(SIG_SETMASK, &fOldMask, nullptr);
}

void MVSignalWatcher::Stop()
{
	if (!fThread.joinable())
		return;
	fStopping = true;
	// The watching thread takes this signal itself and sees that it is to
	// end.
	pthread_kill(fThread.native_handle(), SIGTERM);
	fThread.join();
}

void MVSignalWatcher::Start(BMessenger target, MVServerLog* log)
{
	if (fThread.joinable())
		return;
	fTarget = target;
	fLog = log;
	fThread = std::thread([this] { _Watch(); });
}

void MVSignalWatcher::_Watch()
{
	while (true) {
		int signal = 0;
		if (sigwait(&fSignals, &signal) != 0 || fStopping)
			return;
		if (fLog != nullptr)
			fLog->Log("Received signal %d; stopping.", signal);
		status_t status = fTarget.SendMessage(B_QUIT_REQUESTED);
		if (status != B_OK && fLog != nullptr)
			fLog->Log("The server cannot be told to stop: %s", strerror_status(status));
	}
}
