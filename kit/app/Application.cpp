#include <app/Application.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include <app/Message.h>

#include "MainLoop.h"
#include "RosterPrivate.h"

BApplication* be_app = nullptr;
BMessenger be_app_messenger;

namespace MorvaneKit {

namespace {
std::atomic<MainLoop*> sMainLoop{nullptr};
}


void SetMainLoop(MainLoop* loop)
{
	sMainLoop = loop;
}


MainLoop* GetMainLoop()
{
	return sMainLoop;
}

}	// namespace MorvaneKit

// Posts B_PULSE at the pulse rate, but only when the last pulse has been
// handled, so that a busy application is not flooded.
struct BApplication::PulseTicker {
	PulseTicker(BMessenger target, bigtime_t rate)
		:
		fTarget(target),
		fRate(rate),
		fThread([this] { _Run(); })
	{
	}

	~PulseTicker()
	{
		{
			std::lock_guard<std::mutex> guard(fLock);
			fStop = true;
		}
		fCondition.notify_all();
		fThread.join();
	}

	void Handled() { fPending = false; }

private:
	void _Run()
	{
		std::unique_lock<std::mutex> guard(fLock);
		while (!fCondition.wait_for(guard, std::chrono::microseconds(fRate),
				[this] { return fStop; })) {
			if (!fPending.exchange(true) && fTarget.SendMessage(B_PULSE) != B_OK)
				fPending = false;
		}
	}

	BMessenger fTarget;
	bigtime_t fRate;
	std::mutex fLock;
	std::condition_variable fCondition;
	bool fStop = false;
	std::atomic<bool> fPending{false};
	std::thread fThread;
};

BApplication::BApplication(const char* signature, status_t* error)
	:
	BLooper(signature),
	fSignature(signature != nullptr ? signature : "")
{
	status_t status = B_OK;
	if (be_app != nullptr) {
		status = B_ALREADY_RUNNING;
	} else {
		be_app = this;
		be_app_messenger = BMessenger(this);
		// Not being reachable from other processes is no reason to fail:
		// the application still works inside its own.
		MorvaneKit::RegisterApplication(signature, Port());
	}
	if (error != nullptr)
		*error = status;
}

BApplication::~BApplication()
{
	_StopPulse();
	if (be_app == this) {
		MorvaneKit::UnregisterApplication();
		be_app = nullptr;
		be_app_messenger = BMessenger();
	}
	// The application's thread is the caller's; it is not ended here.
	_SetThread(-1);
}

thread_id BApplication::Run()
{
	thread_id self = find_thread(nullptr);
	_SetThread(self);
	// The application's own queue is open until it quits.
	(void)PostMessage(B_READY_TO_RUN);
	_StartPulse();
	if (MorvaneKit::MainLoop* loop = MorvaneKit::GetMainLoop())
		loop->Run(this);
	else
		_Loop();
	_StopPulse();
	return self;
}

void BApplication::Quit()
{
	// The application belongs to its creator: quitting ends Run() and
	// leaves the object alive.
	_MarkTerminating();
	if (MorvaneKit::MainLoop* loop = MorvaneKit::GetMainLoop())
		loop->Stop();
}

bool BApplication::QuitRequested()
{
	return true;
}

void BApplication::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (handler != this) {
		BLooper::DispatchMessage(message, handler);
		return;
	}
	switch (message->what) {
		case B_READY_TO_RUN:
			ReadyToRun();
			break;
		case B_PULSE:
			if (fPulse != nullptr)
				fPulse->Handled();
			Pulse();
			break;
		default:
			BLooper::DispatchMessage(message, handler);
			break;
	}
}

void BApplication::ReadyToRun()
{
}

void BApplication::Pulse()
{
}

void BApplication::ArgvReceived(int32 argc, char** argv)
{
}

void BApplication::SetPulseRate(bigtime_t rate)
{
	fPulseRate = rate < 0 ? 0 : rate;
	_StopPulse();
	if (IsRunning())
		_StartPulse();
}

void BApplication::_StartPulse()
{
	if (fPulseRate > 0 && fPulse == nullptr)
		fPulse = std::make_unique<PulseTicker>(BMessenger(this), fPulseRate);
}

void BApplication::_StopPulse()
{
	fPulse.reset();
}
